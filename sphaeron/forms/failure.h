#pragma once
// The one handler of failures in the window layer. Every failure is an
// exception whose what() is the text shown to the user; the handler shows it
// in a box with an OK button and the program carries on.
#include <QApplication>
#include <exception>
#include <utility>

namespace sphaeron::forms {

// Shows the failure's text through the installed Dialogs.
void ReportFailure(const std::exception& failure);
void ReportFailure(const char* text);

// Runs a handler; a failure ends it at that point and is reported. Handlers
// called by Qt are wrapped in this so that no exception crosses Qt's frames.
// False when the handler failed.
template <class Handler>
bool Guarded(Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::exception& failure) {
        ReportFailure(failure);
    } catch (...) {
        ReportFailure("Unknown failure");
    }
    return false;
}

// The application object: its event dispatch is the last line of the
// failure handler for anything a handler did not catch itself.
class SphaeronApplication : public QApplication {
public:
    SphaeronApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace sphaeron::forms
