#pragma once
// Failures of both programs are exceptions whose what() is the exact text
// shown to the user by the top-level handler.
#include <stdexcept>
#include <string>

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
// failure has no system cause, such as a short record).
class FileError : public AppError {
public:
    FileError(const std::string& text, int code) : AppError(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

}  // namespace common
