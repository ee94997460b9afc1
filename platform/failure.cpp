#include "platform/failure.h"

namespace kolva {

namespace {

// Puts the values in for "%1", "%2", "%3" in one pass: a value is never read
// for a placeholder. (QString::arg with several values gives the lowest
// placeholder the first value, whatever its number.)
QString fillIn(const QString& text, const QString (&values)[3])
{
    QString filled;
    filled.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%') && i + 1 < text.size() && text.at(i + 1) >= QLatin1Char('1')
            && text.at(i + 1) <= QLatin1Char('3')) {
            filled += values[text.at(i + 1).unicode() - '1'];
            ++i;
        } else {
            filled += c;
        }
    }
    return filled;
}

} // namespace

QString failureMessage(const FailureReport& report, const FailureWords& words)
{
    QString text;
    switch (words.kind) {
    case FailureKind::Cancelled: return report.stoppedText;
    case FailureKind::File: text = report.fileText; break;
    case FailureKind::Database: text = report.databaseText; break;
    case FailureKind::Input: text = report.inputText; break;
    case FailureKind::Unexpected: break;
    }
    if (text.isEmpty())
        text = report.text;
    return fillIn(text, {words.text, words.number, report.subject});
}

FailureKind reportFailure(Prompter& prompter, QWidget* parent, const FailureReport& report, std::exception_ptr error)
{
    const FailureWords words = failureWords(error);
    const QString text = failureMessage(report, words);
    if (text.isEmpty())
        return words.kind;
    if (words.kind == FailureKind::Cancelled)
        prompter.inform(parent, text, report.stoppedCaption.isEmpty() ? report.caption : report.stoppedCaption);
    else
        prompter.message(parent, {text, report.caption, report.icon, MsgButtons::Ok, MsgAnswer::Ok});
    return words.kind;
}

} // namespace kolva
