#pragma once
// What both modules share: the exact passage of extended reals between the
// engines and numpy, the exception classes, and runs of many steps.
//
// Extended reals and numpy. numpy's
// `longdouble` on x86-64 Linux is the 80-bit type itself, stored in 16 bytes:
// the 10 value bytes and 6 padding bytes. Values are moved as their 10 value
// bytes; every array handed out has zero padding, so that `tobytes()` of two
// arrays with equal values is equal.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cfenv>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace pyext {

namespace py = pybind11;

using RealArray = py::array_t<long double, py::array::c_style | py::array::forcecast>;

constexpr std::size_t kValueBytes = 10;

// The value bytes of `from` into `to`, whose padding becomes zero.
inline void CopyExt(long double* to, const long double* from) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, from, kValueBytes);
    std::memcpy(to, bytes, sizeof bytes);
}

// A new array of the shape with every byte zero.
RealArray ZeroArray(const std::vector<py::ssize_t>& shape);

// The value as a numpy.longdouble scalar.
py::object RealScalar(long double value);

// A real from Python. The same values pass as numbers and as text: a str is
// read exactly (to the nearest extended value) as a decimal with '.', "nan",
// "inf" or the exact "0x" form; an int is rounded exactly to the nearest
// extended value; anything else is converted by numpy to longdouble (a
// Python float exactly). A value beyond the extended range, as number or
// text, raises OverflowError "<what> is beyond the range of extended reals
// ..."; other text raises ValueError "'<text>' is not a valid floating point
// value". `what` names the value in errors.
long double ToReal(py::handle value, const std::string& what);

// An array of exactly the shape, converted by numpy to longdouble.
RealArray ToRealArray(py::handle value, const std::vector<py::ssize_t>& shape, const std::string& what);

// Imports numpy (a Python without it fails the module's import, naming
// numpy); then the module's exception classes, FloatError (an
// ArithmeticError with `text` and `step`) and FileError (an OSError with
// `text`, `code` and, as Python's own, `errno`, `strerror` and `filename`),
// and the translation of the engines' failures: FloatError, FileError, and
// ConvertError as ValueError with its text.
void RegisterErrors(py::module_& m);

// Sets FloatError with the text and the step (None when `step` is 0) as the
// pending Python error and throws error_already_set.
[[noreturn]] void RaiseFloatError(const std::string& text, long long step);

// While alive, the floating-point environment the engines are written for:
// rounding to nearest and the x87 unit at full extended precision. The
// caller's environment, flags included, comes back at the end.
class ExactArithmetic {
public:
    ExactArithmetic();
    ~ExactArithmetic();
    ExactArithmetic(const ExactArithmetic&) = delete;
    ExactArithmetic& operator=(const ExactArithmetic&) = delete;

private:
    std::fenv_t env_;
};


// Runs `run` without the interpreter lock, holding `busy` (and `engine` all
// along, when given), in the exact arithmetic. `run` calls the function it
// is given between two steps: about every 100 ms that lets `busy` go and
// looks for signals (Ctrl-C); it returns false when a signal handler raised
// an exception, and the run should then stop. That exception is raised
// once `run` has returned.
void RunWithoutLock(std::mutex* engine, std::mutex& busy,
                    const std::function<void(const std::function<bool()>& between)>& run);

}  // namespace pyext
