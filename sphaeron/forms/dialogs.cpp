#include "sphaeron/forms/dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QUrl>

namespace sphaeron::forms {

std::optional<QString> QtDialogs::OpenFileName(QWidget* parent, const QString& filter, const QString& defaultExt) {
    return shared_.OpenFileName(parent, filter, defaultExt);
}

std::optional<QString> QtDialogs::SaveFileName(QWidget* parent, const QString& filter, const QString& defaultExt) {
    return shared_.SaveFileName(parent, filter, defaultExt);
}

void QtDialogs::Information(QWidget* parent, const QString& text) { shared_.Information(parent, text); }

bool QtDialogs::Confirm(QWidget* parent, const QString& text) { return shared_.Confirm(parent, text); }
bool QtDialogs::ConfirmDefaultNo(QWidget* parent, const QString& text) {
    return shared_.ConfirmDefaultNo(parent, text);
}

void QtDialogs::Failure(QWidget* parent, const QString& text) { shared_.Failure(parent, text); }

int QtDialogs::ExecModal(QDialog& dialog) {
    int result = dialog.exec();
    common::qt::Reactivate(dialog.parentWidget());
    return result;
}

bool QtDialogs::OpenHelpFile(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

}  // namespace sphaeron::forms
