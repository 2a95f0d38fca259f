#include "sphaeron/forms/failure.h"

#include <QApplication>
#include <QMainWindow>
#include <QWidget>


namespace sphaeron::forms {

namespace {

// The box stands over the modal dialog in use, or else the active window,
// or else the main window, which gets the keyboard back afterwards.
QWidget* FailureParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<QMainWindow*>(w)) return w;
    return nullptr;
}

}  // namespace

void ReportFailure(common::qt::Dialogs& dialogs, const std::exception& failure) {
    common::qt::ReportFailure(dialogs, FailureParent(), failure);
}

void ReportFailure(common::qt::Dialogs& dialogs, const char* text) {
    common::qt::ReportFailure(dialogs, FailureParent(), text);
}

SphaeronApplication::SphaeronApplication(int& argc, char** argv, common::qt::Dialogs& dialogs)
    : GuardedApplication(argc, argv, QStringLiteral("Sphaeron"), dialogs) {}

}  // namespace sphaeron::forms
