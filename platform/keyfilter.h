#pragma once
// Key-press filtering for entry boxes. A key press becomes the character
// code a key-press handler judges (the typed character, 8 for Backspace, a
// control code for Ctrl and a letter); when the judge refuses it, the key
// never reaches the box. The editing keys work as in any box: Delete, select
// all, copy, cut, undo and redo; a paste only when the judge takes every
// character of the clipboard's text.

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

namespace kolva {

// The character code of a key press, or -1 for a key that types nothing and
// only moves or changes focus (arrows, Home, End, Delete, Tab, Enter, Escape).
int keyCodeOf(const QKeyEvent* event);

class KeyFilter : public QObject {
    Q_OBJECT
public:
    using Judge = std::function<bool(int keyCode)>;
    KeyFilter(Judge judge, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Judge judge_;
};

// The judges of number boxes, on the character code of a key (8 is
// Backspace): a whole-number box takes digits, Backspace and "-"; a decimal
// box digits, Backspace and ".".
bool isIntegerKeyCode(int keyCode);
bool isDecimalKeyCode(int keyCode);
// The same judges by the names the entry boxes of the forms use.
bool IsIntegerKey(int keyCode);
bool IsDecimalKey(int keyCode);

// Filters every key press of the box through judge (IsDecimalKey, IsIntegerKey).
void installKeyFilter(QWidget* box, KeyFilter::Judge judge);

} // namespace kolva
