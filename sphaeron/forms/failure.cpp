#include "sphaeron/forms/failure.h"

#include <QWidget>

#include "sphaeron/forms/dialogs.h"

namespace sphaeron::forms {

void ReportFailure(const std::exception& failure) { ReportFailure(failure.what()); }

void ReportFailure(const char* text) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    Dialogs::Current().Failure(parent, QString::fromUtf8(text));
}

SphaeronApplication::SphaeronApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool SphaeronApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    Guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace sphaeron::forms
