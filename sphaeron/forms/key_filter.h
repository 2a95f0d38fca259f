#pragma once
// Key handling shared by the windows of the 3D program.
#include <QKeyEvent>
#include <QKeySequence>
#include <QList>
#include <QObject>

namespace sphaeron::forms {

// The per-key filter of the number fields: a typed character is accepted
// when it is a digit, backspace, ',' '-' or '.'; any other typed character
// (letters, blanks, and the control characters of Ctrl+V, Ctrl+C, ...) is
// swallowed. Keys that type nothing (arrows, Delete, Home, Tab) pass.
// The main window filters dt= and A1 .. D1; its other group fields take any
// text. Every parameter field converts its text into its parameter when it
// is left, and the value acts from the next step on.
bool KeyFilterAccepts(const QKeyEvent& event);

// Installed on a field, applies KeyFilterAccepts to its key presses.
class NumberKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Installed on the controls of a window: the window's menu shortcuts win
// over a control's own use of the same keys (Ctrl+Left in a field moves the
// picture, as the menu says, not the cursor).
class MenuKeysFirst : public QObject {
public:
    MenuKeysFirst(QObject* parent, QList<QKeySequence> shortcuts) : QObject(parent), shortcuts_(std::move(shortcuts)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QKeySequence> shortcuts_;
};

}  // namespace sphaeron::forms
