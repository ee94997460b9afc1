// The prompter's shorthands, for every prompter (the windows', the command
// line's, the tests'): they need no window.
#include "platform/prompter.h"

namespace kolva {

void Prompter::inform(QWidget* parent, const QString& text, const QString& caption)
{
    message(parent, {text, caption, MsgIcon::Information, MsgButtons::Ok, MsgAnswer::Ok});
}

void Prompter::warn(QWidget* parent, const QString& text, const QString& caption)
{
    message(parent, {text, caption, MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
}

void Prompter::critical(QWidget* parent, const QString& text, const QString& caption)
{
    message(parent, {text, caption, MsgIcon::Critical, MsgButtons::Ok, MsgAnswer::Ok});
}

} // namespace kolva
