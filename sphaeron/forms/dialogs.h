#pragma once
// Everything the windows ask the user or show outside their own controls goes
// through this interface: the file dialogs and message boxes of the shared
// interface, and the modal dialogs and the help viewer this program adds.
// The program makes the real one and hands it to its windows, which pass it
// on to the windows and controls they make; tests hand over a scripted one
// that answers from a queue and records what was shown.
#include <QString>

#include "common/qt/dialogs.h"

class QDialog;

namespace sphaeron::forms {

class Dialogs : public common::qt::Dialogs {
public:
    // Shows a dialog modally; returns its result (QDialog::Accepted or
    // QDialog::Rejected).
    virtual int ExecModal(QDialog& dialog) = 0;

    // Opens a help file with the desktop's viewer; false when that fails.
    virtual bool OpenHelpFile(const QString& path) = 0;
};

// The real dialogs of the desktop: the shared ones with the caption
// "Sphaeron", modal dialogs and the desktop's help viewer.
class QtDialogs : public Dialogs {
public:
    std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& defaultExt) override;
    std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& defaultExt) override;
    void Information(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    bool ConfirmDefaultNo(QWidget* parent, const QString& text) override;
    void Failure(QWidget* parent, const QString& text) override;
    int ExecModal(QDialog& dialog) override;
    bool OpenHelpFile(const QString& path) override;

private:
    common::qt::QtDialogs shared_{QStringLiteral("Sphaeron")};
};

}  // namespace sphaeron::forms
