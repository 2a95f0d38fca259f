#include "common/qt/dialogs.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QFileDialog>

namespace common::qt {

namespace {

std::optional<QString> RunFileDialog(QWidget* parent, const QString& filter, const QString& defaultExt, bool save) {
    QFileDialog dialog(parent);
    dialog.setNameFilter(DialogFilter(filter));
    dialog.setDefaultSuffix(defaultExt);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // Replacing an existing file is the caller's question.
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

int RunBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    int answer = box.exec();
    Reactivate(parent);
    return answer;
}

}  // namespace

void Reactivate(QWidget* parent) {
    QWidget* w = parent ? parent->window() : nullptr;
    if (!w || !w->isVisible() || QApplication::activeModalWidget()) return;
    w->activateWindow();
    if (!w->focusWidget()) w->setFocus(Qt::OtherFocusReason);
}

QString DialogFilter(const QString& filter) {
    // "Description|patterns|..." -> "Description (patterns);;...": Qt takes
    // the patterns from the parentheses, so a description without them gets
    // its patterns appended ("*.a;*.b" as "*.a *.b").
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i < parts.size(); i += 2) {
        QString description = parts[i];
        if (!description.contains(QLatin1Char('(')) && i + 1 < parts.size())
            description += QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                           QLatin1Char(')');
        out << description;
    }
    return out.join(QStringLiteral(";;"));
}

std::string FilePath(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString DisplayPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

char DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    // A separator outside Latin-1 (toLatin1 gives 0) is read as the dot.
    const char c = point.isEmpty() ? '.' : point.at(0).toLatin1();
    return c == 0 ? '.' : c;
}

std::optional<QString> QtDialogs::OpenFileName(QWidget* parent, const QString& filter, const QString& defaultExt) {
    return RunFileDialog(parent, filter, defaultExt, false);
}

std::optional<QString> QtDialogs::SaveFileName(QWidget* parent, const QString& filter, const QString& defaultExt) {
    return RunFileDialog(parent, filter, defaultExt, true);
}

void QtDialogs::Information(QWidget* parent, const QString& text) {
    RunBox(parent, QMessageBox::Information, title_, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtDialogs::Confirm(QWidget* parent, const QString& text) {
    return RunBox(parent, QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                  QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtDialogs::ConfirmDefaultNo(QWidget* parent, const QString& text) {
    return RunBox(parent, QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                  QMessageBox::No) == QMessageBox::Yes;
}

void QtDialogs::Failure(QWidget* parent, const QString& text) {
    RunBox(parent, failureIcon_, title_, text, QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace common::qt
