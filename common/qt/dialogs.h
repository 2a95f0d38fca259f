#pragma once
// What a window asks the user or shows outside its own controls goes through
// this interface: the open and save dialogs and the message boxes. A window
// gets the one to use in its constructor; tests pass a scripted one that
// answers from a queue and records what was shown. A program that needs more
// (modal dialogs, a help viewer) extends it.
#include <QMessageBox>
#include <QString>
#include <optional>
#include <string>

class QWidget;

namespace common::qt {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Open and save dialogs with a filter such as "Two taons|*.grav" and a
    // default extension. Nothing when the user cancels.
    virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& defaultExt) = 0;
    virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& defaultExt) = 0;

    // Information box with one OK button.
    virtual void Information(QWidget* parent, const QString& text) = 0;
    // Confirmation box (caption "Confirm") with Yes and No; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // The same with No as the default button, for questions where Yes is
    // the unusual answer.
    virtual bool ConfirmDefaultNo(QWidget* parent, const QString& text) { return Confirm(parent, text); }
    // The box of the failure handler: the failure's text and OK.
    virtual void Failure(QWidget* parent, const QString& text) = 0;
};

// The desktop's dialogs. Every box is modal on its parent's window, which
// gets the keyboard back when the box closes.
class QtDialogs : public Dialogs {
public:
    // `title` is the caption of the information and failure boxes.
    explicit QtDialogs(QString title, QMessageBox::Icon failureIcon = QMessageBox::Critical)
        : title_(std::move(title)), failureIcon_(failureIcon) {}

    std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& defaultExt) override;
    std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& defaultExt) override;
    void Information(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    bool ConfirmDefaultNo(QWidget* parent, const QString& text) override;
    void Failure(QWidget* parent, const QString& text) override;

protected:
    const QString& Title() const { return title_; }

private:
    QString title_;
    QMessageBox::Icon failureIcon_;
};

// Gives the keyboard back to the window a dialog came from. Window managers
// do this themselves; without one the focus would stay nowhere and the
// window's shortcuts would stop working.
void Reactivate(QWidget* parent);

// "Two taons|*.grav" becomes the dialog filter "Two taons (*.grav)";
// "Taons files (*.ato)|*.ato" keeps its description.
QString DialogFilter(const QString& filter);

// The file-system path of a name a file dialog returned, and back: the
// encoding Qt uses for file names.
std::string FilePath(const QString& name);
QString DisplayPath(const std::string& path);

// The decimal separator of the user's locale, as numbers are typed and
// shown ('.' when the locale names none, or one outside Latin-1).
char DecimalSeparator();

}  // namespace common::qt
