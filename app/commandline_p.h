#pragma once
// What the commands of the command line share: their exit statuses, the
// parsing of their options with the ones every command takes (--database,
// --wait, --help), the opening of the database, and the two output streams.
// Each command does its job with the same functions the windows call.

#include "store/database.h"

#include "costing/costsummary.h"
#include "costing/period.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stdexcept>

namespace kolva::cli {

// The exit statuses.
enum Status {
    Done = 0,
    Failed = 1,      // the job could not be done; the reason is on standard error
    WrongUsage = 2,  // the command line is wrong (or an option's value is refused)
    NothingToDo = 3, // no field data on the card, no tree in the period: nothing was written
};

// Ends a command with a status and a message for standard error.
class CommandEnd : public std::runtime_error {
public:
    CommandEnd(Status status, const QString& message)
        : std::runtime_error(message.toStdString()), status_(status), message_(message)
    {
    }
    Status status() const { return status_; }
    QString message() const { return message_; }

private:
    Status status_;
    QString message_;
};

[[noreturn]] inline void wrongUsage(const QString& message) { throw CommandEnd(WrongUsage, message); }
[[noreturn]] inline void fail(const QString& message) { throw CommandEnd(Failed, message); }

// The usage paragraph at the head of a help text ("Usage: kolva ...").
QString usageOf(const char* help);

// Text on standard output and on standard error, in the system's encoding.
// What a command did goes through out(), which --quiet silences; err() is
// for what needs the user's attention and is never silenced.
void out(const QString& text);
void err(const QString& text);
// Whether --quiet was given: nothing on standard output, no progress.
bool quiet();
// A message of several lines as one line for a log or a mail from cron.
QString oneLine(const QString& text);

// The options of one command: its own and those every command takes
// (--database, --wait, --quiet, --help).
class CommandOptions {
public:
    // help: the whole text --help prints; its first paragraph is the usage
    // shown after a wrong command line.
    CommandOptions(QString command, const char* help);
    // An option with a value ("FILE") or, without valueName, a switch.
    void add(const QString& name, const QString& valueName = {});
    // Parses the arguments (the program name first, then the command). Gives
    // -1 to go on, or the status to end with: 0 after --help, WrongUsage
    // after an error (said on standard error).
    int parse(const QStringList& arguments);

    // The arguments after the command name that are not options.
    QStringList positional() const;
    bool isSet(const QString& name) const { return parser_.isSet(name); }
    QString value(const QString& name) const { return parser_.value(name); }

    // The database: --database, else the one set in the settings, else
    // KOLVA.MDB beside the program or in the user's data folder.
    QString databasePath(const QString& programDir) const;
    // How long a statement waits for another KOLVA's lock (--wait), in ms.
    int busyTimeoutMs() const { return busyTimeoutMs_; }
    bool waitGiven() const { return parser_.isSet(QStringLiteral("wait")); }

    // Opens the database as the windows do at start (a file that is not a
    // KOLVA database is refused, an older one is brought up to date); a
    // refusal ends the command with its message.
    std::unique_ptr<Database> openDatabase(const QString& programDir) const;

private:
    QString command_;
    const char* help_;
    QCommandLineParser parser_;
    int busyTimeoutMs_ = DefaultBusyTimeoutMs;
};

// A database error's text for standard error; a lock held by another
// program past the wait is said as such, with what to do.
QString databaseFailure(const QString& engineMessage, const QString& databasePath, int busyTimeoutMs);
bool isLockedMessage(const QString& engineMessage);

// Refuses an output file that exists unless --overwrite was given.
void checkOverwrite(const CommandOptions& options, const QString& path);

// A whole number as the rating boxes take it (an optional "-" and up to six
// characters); ends the command otherwise.
QString ratingText(const CommandOptions& options, const QString& name, const QString& fallback);

// The report period: --from and --to, or --period NAME ("last-month"),
// checked as the period block of the options windows checks the dates.
void addPeriodOptions(CommandOptions& options);
struct PeriodChoice {
    std::optional<PeriodPreset> preset;
    std::optional<DatePeriod> dates;
};
PeriodChoice periodChoice(const CommandOptions& options, bool refuseReversed);
// The dates of the choice; none when nothing was chosen. All on file without
// any record ends the command with noTrees.
std::optional<DatePeriod> chosenPeriod(const PeriodChoice& choice, Database& db, const QDate& today,
                                       const QString& noTrees);

// The options of the cost summary from the command line, checked as its
// options window checks them; what is not given is as the window opens.
CostReportOptions costSummaryOptions(const CommandOptions& options, Database& db, const QDate& today);

// The commands.
int importCommand(const QStringList& arguments, const QString& programDir);
int writeCardCommand(const QStringList& arguments, const QString& programDir);
int reportCommand(const QStringList& arguments, const QString& programDir);
int exportCsvCommand(const QStringList& arguments, const QString& programDir);
int exportGisCommand(const QStringList& arguments, const QString& programDir);

} // namespace kolva::cli
