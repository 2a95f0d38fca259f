#pragma once
// The one handler of failures in a window layer. Every failure is an
// exception whose what() is the text shown to the user; the handler shows it
// in a box with an OK button and the program carries on.
#include <QApplication>
#include <exception>
#include <utility>

#include "common/qt/dialogs.h"

namespace common::qt {

// Where a failure box stands when no window is named: over the modal
// dialog in use, or else the active window, or else the main window (which
// gets the keyboard back afterwards).
QWidget* FailureParent();

// Shows the failure's text in the failure box over `parent` (null: over
// FailureParent() at that moment).
void ReportFailure(Dialogs& dialogs, QWidget* parent, const std::exception& failure);
void ReportFailure(Dialogs& dialogs, QWidget* parent, const char* text);

// Runs a handler; a failure ends it at that point and is reported over
// `parent` as ReportFailure does. Handlers called by Qt are wrapped in this
// so that no exception crosses Qt's frames. False when the handler failed.
template <class Handler>
bool Guarded(Dialogs& dialogs, QWidget* parent, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::exception& failure) {
        ReportFailure(dialogs, parent, failure);
    } catch (...) {
        ReportFailure(dialogs, parent, "Unknown failure");
    }
    return false;
}

// The application object: its event dispatch is the last line of the failure
// handler for anything a handler did not catch itself. It also activates the
// window a click lands in, as window managers do; without one the window
// would never get the keyboard and its shortcuts.
class GuardedApplication : public QApplication {
public:
    // `name` becomes the application's name; `dialogs` (not owned) shows
    // the failures.
    GuardedApplication(int& argc, char** argv, const QString& name, Dialogs& dialogs);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Dialogs& dialogs_;
};

}  // namespace common::qt
