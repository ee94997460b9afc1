#pragma once
// The failures of the program: what a job, a read or a save throws when it
// cannot do what was asked, in the words a window shows. There are four kinds:
//
// - FileError: a file or folder could not be read or written (the export's
//   file, the card, a species or street file, a GIS layer).
// - DatabaseError: the database refused a statement or could not be opened.
// - InputError: what the user gave cannot be used (a value that does not fit
//   its column, nothing to list).
// - Cancelled: the user asked the work to stop; nothing was changed.
//
// Every class a layer throws derives from one of them, so that a window can
// say any failure through one function (platform/failure.h); a class adds
// only what its caller needs beyond the words (a reason, a path). Nothing
// here touches a widget, and everything is inline so that every library can
// use it.

#include <QString>

#include <exception>
#include <stdexcept>
#include <string>

namespace kolva {

// Unexpected: anything outside the family (out of memory, a fault of the
// program), said in the words the exception gives.
enum class FailureKind { File, Database, Input, Cancelled, Unexpected };

class Failure : public std::runtime_error {
public:
    FailureKind kind() const { return kind_; }
    // What went wrong, in words a user knows: a window shows it as it is.
    QString userText() const { return userText_; }
    // The number shown before the words ("28 - No space left on device"): the
    // system's error number or the engine's code; empty when there is none.
    QString code() const { return code_; }

protected:
    // what() is the text for a log; it defaults to the user's text.
    Failure(FailureKind kind, const QString& userText, const QString& code = {}, const std::string& what = {})
        : std::runtime_error(what.empty() ? userText.toStdString() : what), kind_(kind), userText_(userText),
          code_(code)
    {
    }

private:
    FailureKind kind_;
    QString userText_;
    QString code_;
};

// A file that could not be read or written. With a number, what() reads
// "28 - Could not write trees.csv: No space left on device".
class FileError : public Failure {
public:
    explicit FileError(const QString& description) : Failure(FailureKind::File, description), number_(0) {}
    FileError(int number, const QString& description)
        : Failure(FailureKind::File, description, QString::number(number),
                  QStringLiteral("%1 - %2").arg(number).arg(description).toStdString()),
          number_(number)
    {
    }
    // The system's error number, 0 when none was given.
    int number() const { return number_; }
    QString description() const { return userText(); }

private:
    int number_;
};

class DatabaseError : public Failure {
public:
    explicit DatabaseError(const QString& message, const QString& code = {}, const std::string& what = {})
        : Failure(FailureKind::Database, message, code, what)
    {
    }
};

class InputError : public Failure {
public:
    explicit InputError(const QString& message) : Failure(FailureKind::Input, message) {}
};

// The user stopped the work where stopping was safe: nothing was changed, and
// nothing failed. A window says nothing, or that the work was stopped.
class Cancelled : public Failure {
public:
    Cancelled() : Failure(FailureKind::Cancelled, QStringLiteral("stopped by the user")) {}
};

// A failure told the way a window tells it: its kind, its words and its
// number ("0" when it has none).
struct FailureWords {
    FailureKind kind = FailureKind::Unexpected;
    QString text;
    QString number = QStringLiteral("0");
};

inline FailureWords failureWords(const std::exception& error)
{
    if (const auto* failure = dynamic_cast<const Failure*>(&error))
        return {failure->kind(), failure->userText(),
                failure->code().isEmpty() ? QStringLiteral("0") : failure->code()};
    return {FailureKind::Unexpected, QString::fromLocal8Bit(error.what())};
}

// Of a job's failure as BackgroundJob hands it over; anything not derived
// from std::exception is said to be of a kind the program does not know.
inline FailureWords failureWords(std::exception_ptr error)
{
    if (!error)
        return {FailureKind::Unexpected, QStringLiteral("the work ended without saying why")};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return failureWords(e);
    } catch (...) {
        return {FailureKind::Unexpected, QStringLiteral("an error of a kind the program does not know")};
    }
}

} // namespace kolva
