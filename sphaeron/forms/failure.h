#pragma once
// The one handler of failures in the window layer. Every failure is an
// exception whose what() is the text shown to the user; the handler shows it
// in a box with an OK button over the active window and the program carries
// on.
#include <exception>
#include <utility>

#include "common/qt/guarded_app.h"

namespace sphaeron::forms {

// Shows the failure's text through `dialogs`, over the modal dialog in use,
// the active window or the main window.
inline void ReportFailure(common::qt::Dialogs& dialogs, const std::exception& failure) {
    common::qt::ReportFailure(dialogs, nullptr, failure);
}
inline void ReportFailure(common::qt::Dialogs& dialogs, const char* text) {
    common::qt::ReportFailure(dialogs, nullptr, text);
}

// Runs a handler; a failure ends it at that point and is reported. Handlers
// called by Qt are wrapped in this so that no exception crosses Qt's frames.
// False when the handler failed.
template <class Handler>
bool Guarded(common::qt::Dialogs& dialogs, Handler&& handler) {
    return common::qt::Guarded(dialogs, nullptr, std::forward<Handler>(handler));
}

// The application object ("Sphaeron"): the shared guarded application
// reporting through `dialogs` (not owned).
class SphaeronApplication : public common::qt::GuardedApplication {
public:
    SphaeronApplication(int& argc, char** argv, common::qt::Dialogs& dialogs);
};

}  // namespace sphaeron::forms
