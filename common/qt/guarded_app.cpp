#include "common/qt/guarded_app.h"

#include <QWidget>

namespace common::qt {

void ReportFailure(Dialogs& dialogs, QWidget* parent, const std::exception& failure) {
    ReportFailure(dialogs, parent, failure.what());
}

void ReportFailure(Dialogs& dialogs, QWidget* parent, const char* text) {
    dialogs.Failure(parent, QString::fromUtf8(text));
}

GuardedApplication::GuardedApplication(int& argc, char** argv, const QString& name, Dialogs& dialogs)
    : QApplication(argc, argv), dialogs_(dialogs) {
    setApplicationName(name);
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && receiver->isWidgetType()) {
        QWidget* window = static_cast<QWidget*>(receiver)->window();
        if (window != QApplication::activeWindow() && window->windowType() != Qt::Popup &&
            window->windowType() != Qt::ToolTip && !QApplication::activeModalWidget())
            window->activateWindow();
    }
    bool handled = false;
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    Guarded(dialogs_, parent, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace common::qt
