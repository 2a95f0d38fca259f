#include "python/binding_support.h"

#include <fpu_control.h>

#include <cfenv>
#include <chrono>
#include <cfloat>

#include "common/errors.h"
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
    if (py::isinstance<py::str>(value)) return common::ParseReal(value.cast<std::string>(), '.');
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
    gFloatError = PyErr_NewExceptionWithDoc(
        (name + ".FloatError").c_str(),
        "An arithmetic fault of the engine: str() and `text` are the program's text; `step` is the step\n"
        "of the call that faulted (1 for the first), or None outside a run.",
        PyExc_ArithmeticError, nullptr);
    gFileError = PyErr_NewExceptionWithDoc(
        (name + ".FileError").c_str(),
        "A file operation that failed: str() and `text` are the program's text, `code` the system's\n"
        "error number (0 when there is none, as for a short file).",
        PyExc_OSError, nullptr);
    if (!gFloatError || !gFileError) throw py::error_already_set();
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

void RunSteps(std::mutex* engine, std::mutex& busy, long long n, const std::function<void()>& step,
              const std::function<void()>& after) {
    constexpr auto kCheckEvery = std::chrono::milliseconds(100);
    long long failedAt = 0;
    std::string text;
    PyObject* pending[3] = {nullptr, nullptr, nullptr};  // a signal handler's exception
    {
        py::gil_scoped_release unlocked;
        std::unique_lock<std::mutex> running;
        if (engine) running = std::unique_lock<std::mutex>(*engine);
        std::unique_lock<std::mutex> held(busy);
        ExactArithmetic exact;
        auto lastCheck = std::chrono::steady_clock::now();
        for (long long k = 1; k <= n; ++k) {
            try {
                step();
            } catch (const common::FloatError& e) {
                failedAt = k;
                text = e.what();
                break;
            }
            after();
            if (k < n && std::chrono::steady_clock::now() - lastCheck > kCheckEvery) {
                // The state is free while the interpreter lock is taken, so
                // that no thread waits for one while holding the other.
                held.unlock();
                {
                    py::gil_scoped_acquire locked;
                    if (PyErr_CheckSignals() != 0) PyErr_Fetch(&pending[0], &pending[1], &pending[2]);
                }
                if (pending[0]) break;
                held.lock();
                lastCheck = std::chrono::steady_clock::now();
            }
        }
    }
    if (pending[0]) {
        PyErr_Restore(pending[0], pending[1], pending[2]);
        throw py::error_already_set();
    }
    if (failedAt) RaiseFloatError(text, failedAt);
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
