#include "python/binding_support.h"

#include <fpu_control.h>

#include <locale.h>

#include <cctype>
#include <cfenv>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>

#include "common/errors.h"
#include "common/exact_text.h"
#include "common/numtext.h"

static_assert(LDBL_MANT_DIG == 64 && sizeof(long double) == 16, "numpy's longdouble must be the 80-bit type");

namespace pyext {

namespace {

PyObject* gFloatError = nullptr;
PyObject* gFileError = nullptr;

// An instance of the class with the text as its one argument and the named
// attributes set.
py::object NewError(PyObject* cls, const std::string& text) {
    py::object error = py::reinterpret_borrow<py::object>(cls)(text);
    error.attr("text") = text;
    return error;
}

// The range error of a value beyond the largest extended real, the same
// for a number and for its text.
[[noreturn]] void RaiseOutOfRange(const std::string& what) {
    PyErr_SetString(PyExc_OverflowError, (what + " is beyond the range of extended reals (magnitude at most "
                                          "1.18973149535723176502e+4932)").c_str());
    throw py::error_already_set();
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// Text as Python's float() and numpy take it, read exactly: a decimal ('.'
// as separator, blanks around it), "nan", "inf" or "infinity" with a sign,
// or the exact "0x" form of the JSON documents.
long double TextToReal(const std::string& text, const std::string& what) {
    std::string_view t = Trimmed(text);
    std::string word(t);
    bool negative = !word.empty() && word[0] == '-';
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) word.erase(0, 1);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "nan") return negative ? -std::numeric_limits<long double>::quiet_NaN() : std::numeric_limits<long double>::quiet_NaN();
    if (word == "inf" || word == "infinity") return negative ? -HUGE_VALL : HUGE_VALL;
    if (t.size() == 22 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) return common::ParseExactText(t);
    try {
        return common::ParseReal(t, '.');
    } catch (const common::ConvertError&) {
        // A decimal the reader refuses only for its size.
        static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        std::string plain(t);
        char* end = nullptr;
        long double v = strtold_l(plain.c_str(), &end, c);
        if (!plain.empty() && end == plain.c_str() + plain.size() && std::isinf(v)) RaiseOutOfRange(what);
        throw;
    }
}

// A Python int rounded to the nearest extended real (ties to even), exactly,
// whatever its size: numpy would go through its decimal text, which Python
// limits to 4300 digits.
long double IntToReal(py::handle value, const std::string& what) {
    py::int_ n = py::reinterpret_borrow<py::int_>(value);
    bool negative = PyObject_RichCompareBool(n.ptr(), py::int_(0).ptr(), Py_LT) == 1;
    py::int_ magnitude = py::reinterpret_steal<py::int_>(PyNumber_Absolute(n.ptr()));
    long long bits = py::cast<long long>(magnitude.attr("bit_length")());
    if (bits > 16384) RaiseOutOfRange(what);
    long long shift = bits > 64 ? bits - 64 : 0;
    py::int_ top = py::reinterpret_steal<py::int_>(PyNumber_Rshift(magnitude.ptr(), py::int_(shift).ptr()));
    unsigned long long mantissa = PyLong_AsUnsignedLongLong(top.ptr());
    long double v = static_cast<long double>(mantissa);  // 64 bits: exact
    if (shift > 0) {
        py::int_ one(1);
        py::object rest = magnitude - (top << py::int_(shift));
        py::object half = one << py::int_(shift - 1);
        int above = PyObject_RichCompareBool(rest.ptr(), half.ptr(), Py_GT);
        int tie = PyObject_RichCompareBool(rest.ptr(), half.ptr(), Py_EQ);
        if (above == 1 || (tie == 1 && (mantissa & 1u))) v += 1.0L;  // 2^64 at most: exact
        v = std::ldexp(v, static_cast<int>(shift));
    }
    if (std::isinf(v)) RaiseOutOfRange(what);
    return negative ? -v : v;
}

}  // namespace

RealArray ZeroArray(const std::vector<py::ssize_t>& shape) {
    RealArray a(shape);
    std::memset(a.mutable_data(), 0, static_cast<std::size_t>(a.nbytes()));
    return a;
}

py::object RealScalar(long double value) {
    RealArray a(std::vector<py::ssize_t>{});
    CopyExt(a.mutable_data(), &value);
    return a[py::tuple()];
}

long double ToReal(py::handle value, const std::string& what) {
    if (py::isinstance<py::str>(value)) return TextToReal(value.cast<std::string>(), what);
    if (PyLong_Check(value.ptr()) && !PyBool_Check(value.ptr())) return IntToReal(value, what);
    RealArray a = RealArray::ensure(value);
    if (!a) {
        PyErr_Clear();
        std::string type = py::str(py::type::of(value).attr("__name__"));
        throw py::type_error(what + " must be a real number, not " + type);
    }
    if (a.ndim() != 0) throw py::type_error(what + " must be a single real number");
    long double v;
    CopyExt(&v, a.data());
    return v;
}

RealArray ToRealArray(py::handle value, const std::vector<py::ssize_t>& shape, const std::string& what) {
    RealArray a = RealArray::ensure(value);
    if (!a) {
        PyErr_Clear();
        throw py::type_error(what + " must be an array of reals");
    }
    bool same = a.ndim() == static_cast<py::ssize_t>(shape.size());
    for (std::size_t i = 0; same && i < shape.size(); ++i) same = a.shape(static_cast<py::ssize_t>(i)) == shape[i];
    if (!same) {
        std::string want, got;
        for (py::ssize_t n : shape) want += (want.empty() ? "" : ", ") + std::to_string(n);
        for (py::ssize_t i = 0; i < a.ndim(); ++i) got += (got.empty() ? "" : ", ") + std::to_string(a.shape(i));
        throw py::value_error(what + " must have the shape (" + want + "), not (" + got + ")");
    }
    return a;
}

void RegisterErrors(py::module_& m) {
    std::string name = py::str(m.attr("__name__"));
    // Without numpy the module is of no use: its import fails here, naming
    // numpy, instead of at the first array.
    try {
        py::module_::import("numpy");
    } catch (py::error_already_set& e) {
        throw py::import_error(name + " needs numpy (python3-numpy), which this Python cannot import: " + e.what());
    }
    gFloatError = PyErr_NewExceptionWithDoc(
        (name + ".FloatError").c_str(),
        "An arithmetic fault of the engine: str() and `text` are the program's text; `step` is the step\n"
        "of the call that faulted (1 for the first), or None outside a run.",
        PyExc_ArithmeticError, nullptr);
    gFileError = PyErr_NewExceptionWithDoc(
        (name + ".FileError").c_str(),
        "A file operation that failed: str() and `text` are the program's text, `code` the system's\n"
        "error number (0 when there is none, as for a short file), `filename` the file.",
        PyExc_OSError, nullptr);
    if (!gFloatError || !gFileError) throw py::error_already_set();
    // str() is the program's text, whatever the OSError attributes hold.
    py::handle fileError(gFileError);
    fileError.attr("__str__") =
        py::cpp_function([](py::handle self) { return self.attr("text"); }, py::is_method(fileError));
    m.add_object("FloatError", py::handle(gFloatError));
    m.add_object("FileError", py::handle(gFileError));

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const common::FloatError& e) {
            py::object error = NewError(gFloatError, e.what());
            error.attr("step") = py::none();
            PyErr_SetObject(gFloatError, error.ptr());
        } catch (const common::FileError& e) {
            py::object error = NewError(gFileError, e.what());
            error.attr("code") = e.code();
            // As an OSError of Python's own: errno, strerror and filename.
            error.attr("errno") = e.code() != 0 ? py::object(py::int_(e.code())) : py::object(py::none());
            error.attr("strerror") = e.what();
            error.attr("filename") = e.path().empty() ? py::object(py::none()) : py::object(py::str(e.path()));
            PyErr_SetObject(gFileError, error.ptr());
        } catch (const common::ConvertError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });
}

void RaiseFloatError(const std::string& text, long long step) {
    py::object error = NewError(gFloatError, text);
    error.attr("step") = step > 0 ? py::object(py::int_(step)) : py::object(py::none());
    PyErr_SetObject(gFloatError, error.ptr());
    throw py::error_already_set();
}

ExactArithmetic::ExactArithmetic() {
    std::fegetenv(&env_);
    fpu_control_t control;
    _FPU_GETCW(control);
    control = static_cast<fpu_control_t>((control & ~(_FPU_EXTENDED | _FPU_RC_ZERO)) | _FPU_EXTENDED | _FPU_RC_NEAREST);
    _FPU_SETCW(control);
    std::fesetround(FE_TONEAREST);
}

ExactArithmetic::~ExactArithmetic() {
    std::fesetenv(&env_);  // the x87 control word included
}

void RunWithoutLock(std::mutex* engine, std::mutex& busy,
                    const std::function<void(const std::function<bool()>& between)>& run) {
    constexpr auto kCheckEvery = std::chrono::milliseconds(100);
    PyObject* pending[3] = {nullptr, nullptr, nullptr};  // a signal handler's exception
    {
        py::gil_scoped_release unlocked;
        std::unique_lock<std::mutex> running;
        if (engine) running = std::unique_lock<std::mutex>(*engine);
        std::unique_lock<std::mutex> held(busy);
        ExactArithmetic exact;
        auto lastCheck = std::chrono::steady_clock::now();
        run([&] {
            if (std::chrono::steady_clock::now() - lastCheck <= kCheckEvery) return true;
            // The state is free while the interpreter lock is taken, so that
            // no thread waits for one while holding the other.
            held.unlock();
            {
                py::gil_scoped_acquire locked;
                if (PyErr_CheckSignals() != 0) PyErr_Fetch(&pending[0], &pending[1], &pending[2]);
            }
            held.lock();
            lastCheck = std::chrono::steady_clock::now();
            return pending[0] == nullptr;
        });
    }
    if (pending[0]) {
        PyErr_Restore(pending[0], pending[1], pending[2]);
        throw py::error_already_set();
    }
}

}  // namespace pyext
