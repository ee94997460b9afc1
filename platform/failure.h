#pragma once
// How a window says that its work failed: every job-finished handler (and
// every window that catches a failure of its own) hands the failure to
// reportFailure, which shows the one message box in the window's words. The
// failures themselves are the family of store/errors.h.

#include "platform/prompter.h"
#include "store/errors.h"

#include <QString>

#include <exception>

class QWidget;

namespace kolva {

// The words a window uses. In each text "%1" is the failure's own words, "%2"
// its number ("0" when it has none) and "%3" the subject; they are put in
// in one pass, so a "%1" in a file's name stays as it is.
struct FailureReport {
    QString caption = QStringLiteral("Error");
    // The text of any kind without a text of its own.
    QString text = QStringLiteral("%1");
    QString fileText;     // a FileError; empty: text
    QString databaseText; // a DatabaseError; empty: text
    QString inputText;    // an InputError; empty: text
    MsgIcon icon = MsgIcon::Exclamation;
    // What the work was on (a file's name), for "%3".
    QString subject;
    // Said as information when the user stopped the work; empty: a stop says
    // nothing.
    QString stoppedText;
    QString stoppedCaption; // empty: caption
};

// The message for a failure; empty for a stop that says nothing.
QString failureMessage(const FailureReport& report, const FailureWords& words);

// Shows the message for the failure (the job's exception) over parent, and
// gives the failure's kind, so that the window can act on a stop.
FailureKind reportFailure(Prompter& prompter, QWidget* parent, const FailureReport& report, std::exception_ptr error);

} // namespace kolva
