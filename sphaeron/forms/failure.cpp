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
    // A click activates its window, as window managers do; without one the
    // window would never get the keyboard and its shortcuts.
    if (event->type() == QEvent::MouseButtonPress && receiver->isWidgetType()) {
        QWidget* window = static_cast<QWidget*>(receiver)->window();
        if (window != QApplication::activeWindow() && window->windowType() != Qt::Popup &&
            window->windowType() != Qt::ToolTip && !QApplication::activeModalWidget())
            window->activateWindow();
    }
    bool handled = false;
    Guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace sphaeron::forms
