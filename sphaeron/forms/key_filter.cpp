#include "sphaeron/forms/key_filter.h"

namespace sphaeron::forms {

namespace {

bool TypesControlCharacter(const QKeyEvent& event) {
    // Ctrl with a letter types a control character (Ctrl+V is 22), also
    // where the platform leaves the event's text empty.
    Qt::KeyboardModifiers m = event.modifiers();
    return (m & Qt::ControlModifier) && !(m & Qt::AltModifier) && event.key() >= Qt::Key_A &&
           event.key() <= Qt::Key_Z;
}

}  // namespace

bool KeyFilterAccepts(const QKeyEvent& event) {
    int key = event.key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return true;  // focus moves, nothing is typed
    if (key == Qt::Key_Backspace) return true;
    QString text = event.text();
    if (text.isEmpty()) return !TypesControlCharacter(event);
    char16_t c = text.at(0).unicode();
    if (c >= u'0' && c <= u'9') return true;
    if (c == 8) return true;
    if (c >= 44 && c <= 46) return true;  // ',' '-' '.'
    return false;
}

bool NumberKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && !KeyFilterAccepts(*static_cast<QKeyEvent*>(event))) return true;
    return QObject::eventFilter(watched, event);
}

bool MenuKeysFirst::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        QKeySequence pressed(key->keyCombination());
        for (const QKeySequence& s : shortcuts_)
            if (s.matches(pressed) == QKeySequence::ExactMatch) {
                // Left unaccepted, the shortcut goes to the menu item.
                event->ignore();
                return true;
            }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace sphaeron::forms
