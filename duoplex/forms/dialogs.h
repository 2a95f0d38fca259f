#pragma once
// What the window asks the user or shows outside its own controls goes
// through this interface: the open and save dialogs for `.grav` files and the
// message box of the failure handler. Tests install a scripted one.
#include <QApplication>
#include <QString>
#include <exception>
#include <optional>

class QWidget;

namespace duoplex::forms {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // File dialogs with the filter "Two taons|*.grav" and the default
    // extension "grav"; nothing when cancelled.
    virtual std::optional<QString> OpenFileName(QWidget* parent) = 0;
    virtual std::optional<QString> SaveFileName(QWidget* parent) = 0;
    // The failure's text in a box with an OK button.
    virtual void Failure(QWidget* parent, const QString& text) = 0;
};

class QtDialogs : public Dialogs {
public:
    std::optional<QString> OpenFileName(QWidget* parent) override;
    std::optional<QString> SaveFileName(QWidget* parent) override;
    void Failure(QWidget* parent, const QString& text) override;
};

extern const char* const kTitle;        // "Duoplex"
extern const char* const kGravFilter;   // "Two taons (*.grav)"
extern const char* const kGravSuffix;   // "grav"

// The application object; its event dispatch is the last line of the failure
// handler for anything a handler did not catch itself.
class DuoplexApplication : public QApplication {
public:
    DuoplexApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace duoplex::forms
