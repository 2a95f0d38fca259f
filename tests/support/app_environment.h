#pragma once
// A test program's global environment: the sandbox of sandbox.h, then the
// application object of type App (a QApplication or a subclass), which
// lives until every test has run.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/sandbox.h"

namespace testsupport {

template <class App>
class SandboxedApplication : public ::testing::Environment {
public:
    // `box` is filled in on SetUp; `prefix` names the temporary folder.
    SandboxedApplication(Sandbox& box, std::string prefix) : box_(box), prefix_(std::move(prefix)) {}

    void SetUp() override {
        box_ = EnterSandbox(prefix_);
        static int argc = 1;
        static char name[] = "monkey_tests";
        static char* argv[] = {name, nullptr};
        app_ = new App(argc, argv);
        app_->setQuitOnLastWindowClosed(false);
    }
    void TearDown() override {
        delete app_;
        LeaveSandbox(box_);
    }

private:
    Sandbox& box_;
    std::string prefix_;
    App* app_ = nullptr;
};

}  // namespace testsupport
