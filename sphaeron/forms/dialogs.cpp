#include "sphaeron/forms/dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace sphaeron::forms {

namespace {

Dialogs* installed = nullptr;

QString Caption() {
    QString title = QApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("Sphaeron") : title;
}

// Gives the activation back to the window a dialog came from. Window
// managers do this themselves; without one, the keyboard focus would stay
// nowhere and the window's shortcuts would stop working.
void Reactivate(QWidget* parent) {
    QWidget* w = parent ? parent->window() : nullptr;
    if (w && w->isVisible() && !QApplication::activeModalWidget()) w->activateWindow();
}

std::optional<QString> RunFileDialog(QWidget* parent, const QString& filter, const QString& defaultExt, bool save) {
    QFileDialog dialog(parent);
    dialog.setNameFilter(DialogFilter(filter));
    dialog.setDefaultSuffix(defaultExt);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // An existing file is replaced without a question.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        // The name of a file that does not exist is accepted too; the read
        // then reports it.
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    int result = dialog.exec();
    Reactivate(parent);
    if (result != QDialog::Accepted) return std::nullopt;
    QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace

Dialogs& Dialogs::Current() {
    static QtDialogs fallback;
    return installed ? *installed : fallback;
}

void Dialogs::Install(Dialogs* dialogs) { installed = dialogs; }

QString DialogFilter(const QString& filter) {
    // "Description|patterns|Description|patterns" -> "Description;;Description"
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i < parts.size(); i += 2) out << parts[i];
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> QtDialogs::OpenFileName(QWidget* parent, const QString& filter, const QString& defaultExt) {
    return RunFileDialog(parent, filter, defaultExt, false);
}

std::optional<QString> QtDialogs::SaveFileName(QWidget* parent, const QString& filter, const QString& defaultExt) {
    return RunFileDialog(parent, filter, defaultExt, true);
}

void QtDialogs::Information(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, Caption(), text, QMessageBox::Ok, parent);
    box.exec();
    Reactivate(parent);
}

bool QtDialogs::Confirm(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    bool yes = box.exec() == QMessageBox::Yes;
    Reactivate(parent);
    return yes;
}

void QtDialogs::Failure(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, Caption(), text, QMessageBox::Ok, parent);
    box.exec();
    Reactivate(parent);
}

int QtDialogs::ExecModal(QDialog& dialog) {
    int result = dialog.exec();
    Reactivate(dialog.parentWidget());
    return result;
}

bool QtDialogs::OpenHelpFile(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

}  // namespace sphaeron::forms
