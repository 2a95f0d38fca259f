#include "sphaeron/forms/failure.h"

#include <QApplication>
#include <QWidget>

#include "sphaeron/forms/dialogs.h"

namespace sphaeron::forms {

namespace {

// The box stands over the modal dialog in use, or else the active window.
QWidget* FailureParent() {
    QWidget* parent = QApplication::activeModalWidget();
    return parent ? parent : QApplication::activeWindow();
}

}  // namespace

void ReportFailure(const std::exception& failure) {
    common::qt::ReportFailure(CurrentDialogs(), FailureParent(), failure);
}

void ReportFailure(const char* text) { common::qt::ReportFailure(CurrentDialogs(), FailureParent(), text); }

SphaeronApplication::SphaeronApplication(int& argc, char** argv)
    : GuardedApplication(argc, argv, QStringLiteral("Sphaeron"), CurrentDialogs()) {}

}  // namespace sphaeron::forms
