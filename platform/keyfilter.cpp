#include "platform/keyfilter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QWidget>

namespace kolva {

bool isIntegerKeyCode(int keyCode)
{
    return (keyCode >= '0' && keyCode <= '9') || keyCode == 8 || keyCode == '-';
}

bool isDecimalKeyCode(int keyCode)
{
    return (keyCode >= '0' && keyCode <= '9') || keyCode == 8 || keyCode == '.';
}

bool IsIntegerKey(int keyCode)
{
    return isIntegerKeyCode(keyCode);
}

bool IsDecimalKey(int keyCode)
{
    return isDecimalKeyCode(keyCode);
}

int keyCodeOf(const QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Backspace)
        return 8;
    // The clipboard and editing shortcuts count as the control codes they are
    // typed as (the filter lets them work, see KeyFilter::eventFilter).
    static const QKeySequence::StandardKey editing[] = {
        QKeySequence::Paste, QKeySequence::Cut,  QKeySequence::Copy,
        QKeySequence::Undo,  QKeySequence::Redo, QKeySequence::SelectAll,
    };
    for (const auto standard : editing) {
        if (event->matches(standard))
            return (event->modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z
                       ? key - Qt::Key_A + 1
                       : 0x16;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (mods && key >= Qt::Key_A && key <= Qt::Key_Z)
        return key - Qt::Key_A + 1;
    switch (key) {
    case Qt::Key_Delete: // types character 0x7F, but only deletes
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return -1;
    default:
        break;
    }
    const QString text = event->text();
    if (text.isEmpty())
        return -1;
    return text.at(0).unicode();
}

KeyFilter::KeyFilter(Judge judge, QObject* parent) : QObject(parent), judge_(std::move(judge)) {}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Select all, copy, cut and undo work as in any box; a paste only
        // when every character it brings would have been taken when typed.
        if (key->matches(QKeySequence::Paste)) {
            const QString text = QGuiApplication::clipboard()->text().trimmed();
            for (const QChar c : text) {
                if (!judge_(c.unicode()))
                    return true;
            }
            if (auto* box = qobject_cast<QLineEdit*>(watched); box && !box->isReadOnly()) {
                box->insert(text); // without the blanks and line end around it
                return true;
            }
            return QObject::eventFilter(watched, event);
        }
        for (const auto standard : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::SelectAll, QKeySequence::Undo,
                                    QKeySequence::Redo}) {
            if (key->matches(standard))
                return QObject::eventFilter(watched, event);
        }
        const int code = keyCodeOf(key);
        if (code >= 0 && !judge_(code))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

void installKeyFilter(QWidget* box, KeyFilter::Judge judge)
{
    box->installEventFilter(new KeyFilter(std::move(judge), box));
}

} // namespace kolva
