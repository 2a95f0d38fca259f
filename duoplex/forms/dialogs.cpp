#include "duoplex/forms/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace duoplex::forms {

const char* const kTitle = "Duoplex";
const char* const kGravFilter = "Two taons (*.grav)";
const char* const kGravSuffix = "grav";

namespace {

std::optional<QString> AskFile(QWidget* parent, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromLatin1(kGravFilter));
    dialog.setDefaultSuffix(QString::fromLatin1(kGravSuffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace

std::optional<QString> QtDialogs::OpenFileName(QWidget* parent) { return AskFile(parent, QFileDialog::AcceptOpen); }
std::optional<QString> QtDialogs::SaveFileName(QWidget* parent) { return AskFile(parent, QFileDialog::AcceptSave); }

void QtDialogs::Failure(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

DuoplexApplication::DuoplexApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(kTitle));
}

bool DuoplexApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        QtDialogs().Failure(activeWindow(), QString::fromUtf8(failure.what()));
    } catch (...) {
        QtDialogs().Failure(activeWindow(), QStringLiteral("Unknown failure"));
    }
    return false;
}

}  // namespace duoplex::forms
