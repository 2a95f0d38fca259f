#pragma once
// Everything the windows ask the user or show outside their own controls goes
// through this interface: file dialogs, message boxes, modal dialogs and the
// help viewer. The program installs the real one; tests install a scripted
// one that answers from a queue and records what was shown.
#include <QString>
#include <optional>
#include <string>

class QDialog;
class QWidget;

namespace sphaeron::forms {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Open and save dialogs with a filter such as "Taons files (*.ato)|*.ato"
    // and a default extension. Nothing when the user cancels.
    virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& defaultExt) = 0;
    virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& defaultExt) = 0;

    // Information box with one OK button.
    virtual void Information(QWidget* parent, const QString& text) = 0;
    // Confirmation box (caption "Confirm", question icon) with Yes and No;
    // true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // The box of the top-level failure handler: the failure's text and OK.
    virtual void Failure(QWidget* parent, const QString& text) = 0;

    // Shows a dialog modally; returns its result (QDialog::Accepted or
    // QDialog::Rejected).
    virtual int ExecModal(QDialog& dialog) = 0;

    // Opens a help file with the desktop's viewer; false when that fails.
    virtual bool OpenHelpFile(const QString& path) = 0;

    // The interface in use. The program installs a QtDialogs at start;
    // without an installed one, a QtDialogs is used.
    static Dialogs& Current();
    // Installs an interface (not owned); nullptr restores the default.
    static void Install(Dialogs* dialogs);
};

// The real dialogs of the desktop.
class QtDialogs : public Dialogs {
public:
    std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& defaultExt) override;
    std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& defaultExt) override;
    void Information(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    void Failure(QWidget* parent, const QString& text) override;
    int ExecModal(QDialog& dialog) override;
    bool OpenHelpFile(const QString& path) override;
};

// "Taons files (*.ato)|*.ato" becomes the dialog filter "Taons files (*.ato)".
QString DialogFilter(const QString& filter);

}  // namespace sphaeron::forms
