#pragma once
// The text of the failure a piece of code throws.
#include <exception>
#include <string>

namespace testsupport {

// Runs f and returns the what() of the exception of type E it throws, or ""
// when it throws nothing. Other exceptions pass through.
template <class E = std::exception, class F>
std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "";
}

}  // namespace testsupport
