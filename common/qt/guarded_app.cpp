#include "common/qt/guarded_app.h"

#include <QMainWindow>
#include <QWidget>

namespace common::qt {

void ReportFailure(Dialogs& dialogs, QWidget* parent, const std::exception& failure) {
    ReportFailure(dialogs, parent, failure.what());
}

QWidget* FailureParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<QMainWindow*>(w)) return w;
    return nullptr;
}

void ReportFailure(Dialogs& dialogs, QWidget* parent, const char* text) {
    dialogs.Failure(parent ? parent : FailureParent(), QString::fromUtf8(text));
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
