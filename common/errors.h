#pragma once
// Failures of both programs are exceptions whose what() is the exact text
// shown to the user by the top-level handler.
#include <stdexcept>
#include <string>
#include <utility>

namespace common {

class AppError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Number text that does not convert.
class ConvertError : public AppError {
public:
    using AppError::AppError;
};

// Invalid operation, division by zero or overflow in the arithmetic.
class FloatError : public AppError {
public:
    using AppError::AppError;
};

// A file operation that failed; code is the system error number (0 when the
// failure has no system cause, such as a short record), path the file it
// was about when known (the text need not name it).
class FileError : public AppError {
public:
    FileError(const std::string& text, int code, std::string path = {})
        : AppError(text), code_(code), path_(std::move(path)) {}
    int code() const { return code_; }
    const std::string& path() const { return path_; }
    void set_path(const std::string& path) { path_ = path; }

private:
    int code_;
    std::string path_;
};

}  // namespace common
