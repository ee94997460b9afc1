#include "app/commandline.h"

#include "app/commandline_p.h"
#include "app/datalocation.h"
#include "platform/settings.h"
#include "app/termination.h"
#include "platform/jobprogress.h"
#include "store/conversion.h"
#include "store/kolvadb.h"
#include "store/surveyhistory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>

namespace kolva {

namespace cli {

namespace {

const char* const generalHelp = R"HELP(Usage: kolva [--database FILE|URI]
  or:  kolva COMMAND [options] [arguments]
  or:  kolva help [COMMAND]
  or:  kolva --version

Without a command, KOLVA starts its windows on the database beside the
program (or on FILE or URI). With a command it does that one job without any window
or display, prints what it did, and ends.

Commands ("kolva help COMMAND" or "kolva COMMAND --help" tells more of each,
with examples):
  import       import the field data of a storage card
  write-card   write the reference lists onto a storage card
  report       make a report as a PDF file: reinspection, needing-ca,
               specific-ca, cost-summary
  export-csv   write the survey records of a period to a CSV file
  export-gis   write the survey records of a period as points for GIS
  convert      convert a KOLVA.MDB of an earlier version (an Access file)
               into a KOLVA database, or copy a database onto a server
  help         tell the options of a command, with examples

Every command takes:
  --database FILE|URI  work on FILE, or on the PostgreSQL database of the URI
                       postgresql://[USER@]HOST[:PORT]/DBNAME, instead of
                       KOLVA.MDB beside the program
  --wait SECONDS       how long to wait for another KOLVA that holds the
                       database (or converts the file)
  -q, --quiet          print nothing when the job is done (for cron); what
                       went wrong is still said on standard error
  -h, --help           show the command's help

Exit status: 0 done; 1 the job failed (the reason on standard error, on one
line starting "kolva:"); 2 wrong command line; 3 nothing to do (no field
data on the card, no tree in the period, a database converted already):
nothing was written.

Options:
  --database FILE|URI  start the windows on FILE or on the PostgreSQL
                       database of the URI instead of KOLVA.MDB beside the
                       program
  -h, --help           show this help
  -v, --version        show the version of KOLVA
)HELP";

const char* const convertHelp = R"HELP(Usage: kolva convert [ACCESS.MDB [NEW.MDB]] [--database FILE] [--wait SECONDS]
                     [--quiet]
  or:  kolva convert SOURCE postgresql://[USER@]HOST[:PORT]/DBNAME
                     [--wait SECONDS] [--quiet]

Converts a KOLVA.MDB of an earlier version of KOLVA (a Microsoft Access
database) into a KOLVA database. The Access file is only read. Every table of
KOLVA's data is copied with every row and checked before anything is renamed.

Without NEW.MDB the new database takes the Access file's place and the Access
file is kept beside it as NAME.access-YYYYMMDD (a number is added when that
name is taken). With NEW.MDB the new database is written there (a file that
exists is never replaced) and the Access file stays as it is. Without
ACCESS.MDB the database given by --database, or KOLVA.MDB beside the program,
is converted.

Moving an office onto a PostgreSQL server: the target is a postgresql:// URI
naming a database that holds no KOLVA table (a new, empty database); one
that holds any is refused, and nothing is written to it. SOURCE is an Access
KOLVA.MDB of an earlier version, or a KOLVA database file of this version
(one of an earlier version is refused: open it with KOLVA once, which brings
it up to date, then copy it). SOURCE is only read and stays as it is. The
schema and every row go to the server in one transaction: on any failure, or
when the connection is lost, the server database is left without anything
of KOLVA's. The URI never carries a password: libpq takes it from ~/.pgpass
(or the file PGPASSFILE names, or a service file).

The count of each table is printed and written to NEW.MDB.conversion.log
beside the new database (SOURCE.conversion.log beside SOURCE for a server).
On any failure nothing is changed and the reason is printed on standard
error; the exit status is then 1. A file that is a SQLite database already
(converted before) is left as it is when the target is a file or none (a
copy of the file does that job); the exit status is then 3.

Only one conversion of a file runs at a time: while another one runs, this
one fails at once, or with --wait waits for it to end (and then finds the
file converted).

Exit status: 0 done; 1 the conversion failed; 2 wrong command line; 3 the
file is converted already, or the database to convert is on a server.

Examples:
  kolva convert
  kolva convert /srv/kolva/KOLVA.MDB
  kolva convert old/KOLVA.MDB /srv/kolva/KOLVA.MDB
  kolva convert /srv/kolva/KOLVA.MDB postgresql://kolva@dbhost/kolva

Options:
  --database FILE   the database to convert when ACCESS.MDB is not given
  --wait SECONDS    how long to wait for another conversion of the file to
                    end (default: not at all); onto a server also how long
                    to wait for another program's lock (default: 5 seconds)
  -q, --quiet       print nothing when the conversion is done
  -h, --help        show this help
)HELP";

const QStringList& commandNames()
{
    static const QStringList names = {QStringLiteral("import"), QStringLiteral("write-card"),
                                      QStringLiteral("report"), QStringLiteral("export-csv"),
                                      QStringLiteral("export-gis"), QStringLiteral("convert")};
    return names;
}

QString unknownCommand(const QString& command)
{
    return QStringLiteral("unknown command \"%1\"; the commands are: %2").arg(command, commandNames().join(QStringLiteral(", ")));
}

// The help of the command being read, for its usage line.
const char* currentHelp = generalHelp;
bool quietRun = false;

int usageError(const QString& what, const QString& command = {})
{
    err(QStringLiteral("kolva: %1\n%2\nTry \"kolva %3--help\".\n")
            .arg(oneLine(what), usageOf(command.isEmpty() ? generalHelp : currentHelp),
                 command.isEmpty() ? QString() : command + ' '));
    return WrongUsage;
}

// "kolva help [COMMAND]": the general help, or the command's own.
int helpCommand(const QStringList& arguments, const QString& programDir);

int convertCommand(const QStringList& arguments, const QString& programDir)
{
    CommandOptions options(QStringLiteral("convert"), convertHelp);
    if (const int status = options.parse(arguments); status >= 0)
        return status;
    const QStringList paths = options.positional();
    if (paths.size() > 2)
        wrongUsage(QStringLiteral("convert takes at most two files: ACCESS.MDB and NEW.MDB"));

    ConversionRequest request;
    request.accessPath = !paths.isEmpty() ? paths[0] : options.databasePath(programDir);
    request.targetPath = paths.size() > 1 ? paths[1] : QString();
    if (isServerDatabaseUri(request.accessPath)) {
        // Said without the password a URI might carry.
        QString shown;
        try {
            shown = parseDatabaseTarget(request.accessPath).displayName();
        } catch (const InputError& refused) {
            wrongUsage(refused.userText());
        }
        throw CommandEnd(NothingToDo, QStringLiteral("The database %1 is on a server: there is nothing to convert. "
                                                     "Nothing was changed.")
                                          .arg(shown));
    }
    if (isServerDatabaseUri(request.targetPath)) {
        try {
            parseDatabaseTarget(request.targetPath);
        } catch (const InputError& refused) {
            wrongUsage(refused.userText());
        }
    }
    request.now = QDateTime::currentDateTime();
    request.user = operatingSystemUser();
    // --wait: for another conversion of the file to end.
    request.lockWaitMs = options.waitGiven() ? options.busyTimeoutMs() : 0;
    if (const QString recovered = recoverInterruptedConversion(request.accessPath); !recovered.isEmpty())
        err(recovered + QLatin1Char('\n'));
    StreamProgress progress(stderr);
    try {
        const ConversionResult result = convertAccessDatabase(request, progress);
        out(result.summary() + QLatin1Char('\n'));
        return Done;
    } catch (const AlreadyConverted& done) {
        throw CommandEnd(NothingToDo, done.message());
    } catch (const ConversionFailed& failed) {
        fail(failed.message());
    } catch (const ConversionCancelled&) {
        QString stopped = QStringLiteral("The conversion was stopped. The Access database has not been changed.");
        if (isServerDatabaseUri(request.targetPath))
            stopped += QStringLiteral(" Nothing was written to the database %1.")
                           .arg(parseDatabaseTarget(request.targetPath).displayName());
        fail(stopped);
    }
}

// The options that take a value, of every command and of the window system.
bool takesValue(const QString& option)
{
    static const QStringList names = {
        // ours
        QStringLiteral("database"), QStringLiteral("wait"), QStringLiteral("backup-folder"), QStringLiteral("pdf"),
        QStringLiteral("year"), QStringLiteral("quarters"), QStringLiteral("rating-from"), QStringLiteral("rating-to"),
        QStringLiteral("zone"), QStringLiteral("sort"), QStringLiteral("action"), QStringLiteral("actions"),
        QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("period"),
        // the window system's
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("style"), QStringLiteral("stylesheet"), QStringLiteral("session"),
        QStringLiteral("display"), QStringLiteral("geometry"), QStringLiteral("title"), QStringLiteral("name"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"),
    };
    QString name = option;
    while (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    return !name.contains(QLatin1Char('=')) && names.contains(name);
}

// The window system's own options that take no value; those that take one
// are in takesValue().
bool windowSystemSwitch(const QString& name)
{
    static const QStringList names = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"), QStringLiteral("dograb"), QStringLiteral("sync"),
                                      QStringLiteral("testability")};
    return names.contains(name);
}

bool windowSystemOption(const QString& name)
{
    static const QStringList withValue = {
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("style"), QStringLiteral("stylesheet"), QStringLiteral("session"),
        QStringLiteral("display"), QStringLiteral("geometry"), QStringLiteral("title"), QStringLiteral("name"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"),
        QStringLiteral("visual"), QStringLiteral("qmljsdebugger"), QStringLiteral("dialogs")};
    return withValue.contains(name) || windowSystemSwitch(name);
}

// The arguments without the window system's own options (-platform NAME,
// -style=NAME, -reverse ...), which the window system takes itself.
QStringList withoutWindowSystemOptions(const QStringList& arguments)
{
    QStringList ours;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (i == 0 || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("--")) {
            ours << a;
            continue;
        }
        QString name = a;
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool valueGiven = equals >= 0;
        if (valueGiven)
            name.truncate(equals);
        if (!windowSystemOption(name)) {
            ours << a;
            continue;
        }
        if (!valueGiven && !windowSystemSwitch(name))
            ++i; // its value
    }
    return ours;
}

} // namespace

void out(const QString& text)
{
    if (quietRun)
        return;
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void err(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

bool quiet()
{
    return quietRun;
}

QString oneLine(const QString& text)
{
    QString line;
    for (const QString& piece : text.split(QLatin1Char('\n'))) {
        const QString part = piece.trimmed();
        if (part.isEmpty())
            continue;
        if (!line.isEmpty()) {
            // A sentence ends where a new one starts; an item of a list
            // ("a.tree: the reason") is set apart from the one before.
            static const QRegularExpression item(QStringLiteral("^\\S+: "));
            if (QStringLiteral(".!?:;,").contains(line.back()))
                line += QLatin1Char(' ');
            else if (item.match(part).hasMatch())
                line += QStringLiteral("; ");
            else if (part.front().isUpper())
                line += QStringLiteral(". ");
            else
                line += QLatin1Char(' ');
        }
        line += part;
    }
    return line;
}

QString usageOf(const char* help)
{
    const QString text = QString::fromUtf8(help);
    return text.left(text.indexOf(QStringLiteral("\n\n")));
}

CommandOptions::CommandOptions(QString command, const char* help)
    : command_(std::move(command)), help_(help)
{
    currentHelp = help;
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    add(QStringLiteral("database"), QStringLiteral("FILE"));
    add(QStringLiteral("wait"), QStringLiteral("SECONDS"));
    parser_.addOption(QCommandLineOption({QStringLiteral("q"), QStringLiteral("quiet")}, QStringLiteral("Quiet.")));
    parser_.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Help.")));
}

void CommandOptions::add(const QString& name, const QString& valueName)
{
    parser_.addOption(QCommandLineOption(name, name, valueName));
}

int CommandOptions::parse(const QStringList& arguments)
{
    if (!parser_.parse(arguments))
        return usageError(parser_.errorText(), command_);
    if (parser_.isSet(QStringLiteral("help"))) {
        out(QString::fromUtf8(help_));
        return Done;
    }
    if (parser_.isSet(QStringLiteral("quiet"))) {
        quietRun = true;
        StreamProgress::setSilent(true);
    }
    if (parser_.isSet(QStringLiteral("wait"))) {
        bool ok = false;
        const double seconds = parser_.value(QStringLiteral("wait")).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 24 * 3600)
            return usageError(QStringLiteral("--wait takes a number of seconds from 0 to 86400, not \"%1\"")
                                  .arg(parser_.value(QStringLiteral("wait"))),
                              command_);
        busyTimeoutMs_ = int(std::lround(seconds * 1000));
    }
    return -1;
}

QStringList CommandOptions::positional() const
{
    return parser_.positionalArguments().mid(1);
}

QString CommandOptions::databasePath(const QString& programDir) const
{
    const FileSettings settings;
    return resolveDataLocation(programDir, EnvironmentFolders::current(), settings,
                               parser_.value(QStringLiteral("database")))
        .databasePath;
}

std::unique_ptr<Database> CommandOptions::openDatabase(const QString& programDir) const
{
    const FileSettings settings;
    const DataLocation location = resolveDataLocation(programDir, EnvironmentFolders::current(), settings,
                                                      parser_.value(QStringLiteral("database")));
    const QString path = location.databasePath;
    if (!location.makeFrom.isEmpty()) {
        if (const QString why = makeUserDatabase(location); !why.isEmpty())
            fail(why);
        err(firstStartMessage(location) + QLatin1Char('\n'));
    }
    if (const QString recovered = isServerDatabaseUri(path) ? QString() : recoverInterruptedConversion(path);
        !recovered.isEmpty())
        err(recovered + QLatin1Char('\n'));
    try {
        return openKolvaDatabase(path, busyTimeoutMs_);
    } catch (const DatabaseRefused& refused) {
        QString message = refused.userMessage();
        if (refused.reason() == DatabaseRefused::Reason::EarlierVersion)
            message += QStringLiteral("\n\"kolva convert\" converts it into a KOLVA database.");
        else if (isLockedMessage(message))
            message = databaseFailure(message, path, busyTimeoutMs_);
        fail(message);
    }
}

bool isLockedMessage(const QString& engineMessage)
{
    // SQLite's words, and the server's when its lock_timeout runs out.
    return engineMessage.contains(QLatin1String("database is locked")) ||
           engineMessage.contains(QLatin1String("database table is locked")) ||
           engineMessage.contains(QLatin1String("due to lock timeout"));
}

QString databaseFailure(const QString& engineMessage, const QString& databasePath, int busyTimeoutMs)
{
    if (!isLockedMessage(engineMessage))
        return engineMessage;
    const double seconds = busyTimeoutMs / 1000.0;
    return engineMessage +
           QStringLiteral("\nThe database %1 is in use: another program (KOLVA running elsewhere, say) is writing to "
                          "it and kept it locked longer than the %2 %3 this command waits. Nothing was changed. Try "
                          "again when it has finished, or let the command wait longer with --wait SECONDS.")
               .arg(isServerDatabaseUri(databasePath) ? databasePath
                                                      : QDir::toNativeSeparators(QFileInfo(databasePath).absoluteFilePath()))
               .arg(seconds)
               .arg(seconds == 1 ? QStringLiteral("second") : QStringLiteral("seconds"));
}

void checkOverwrite(const CommandOptions& options, const QString& path)
{
    if (QFileInfo::exists(path) && !options.isSet(QStringLiteral("overwrite")))
        fail(QStringLiteral("%1 already exists; nothing was written. Give --overwrite to replace it.").arg(path));
}

QString ratingText(const CommandOptions& options, const QString& name, const QString& fallback)
{
    if (!options.isSet(name))
        return fallback;
    const QString text = options.value(name);
    static const QRegularExpression whole(QStringLiteral("^-?[0-9]{1,5}$"));
    if (!whole.match(text).hasMatch())
        wrongUsage(QStringLiteral("--%1 takes a whole number (a risk rating), not \"%2\"").arg(name, text));
    return text;
}

} // namespace cli

// The first argument that is neither an option nor an option's value.
QString commandOf(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--"))
            return i + 1 < arguments.size() ? arguments[i + 1] : QString();
        if (a.startsWith(QLatin1Char('-'))) {
            if (cli::takesValue(a))
                ++i;
            continue;
        }
        return a;
    }
    return {};
}

// Whether the arguments name a window system platform (-platform NAME).
bool platformGiven(const QStringList& arguments)
{
    for (const QString& a : arguments) {
        if (a == QLatin1String("-platform") || a == QLatin1String("--platform") ||
            a.startsWith(QLatin1String("-platform=")) || a.startsWith(QLatin1String("--platform=")))
            return true;
    }
    return false;
}

int runCommand(const QStringList& arguments, const QString& programDir)
{
    using namespace cli;
    const QString command = commandOf(arguments);
    try {
        if (command == QLatin1String("help"))
            return helpCommand(arguments, programDir);
        if (command == QLatin1String("convert"))
            return convertCommand(arguments, programDir);
        if (command == QLatin1String("import"))
            return importCommand(arguments, programDir);
        if (command == QLatin1String("write-card"))
            return writeCardCommand(arguments, programDir);
        if (command == QLatin1String("report"))
            return reportCommand(arguments, programDir);
        if (command == QLatin1String("export-csv"))
            return exportCsvCommand(arguments, programDir);
        if (command == QLatin1String("export-gis"))
            return exportGisCommand(arguments, programDir);
        return usageError(unknownCommand(command));
    } catch (const CommandEnd& end) {
        if (end.status() == WrongUsage)
            return usageError(end.message(), command);
        err(QStringLiteral("kolva: ") + oneLine(end.message()) + QLatin1Char('\n'));
        return end.status();
    } catch (const DbError& error) {
        err(QStringLiteral("kolva: ") + oneLine(error.message()) + QLatin1Char('\n'));
    } catch (const std::exception& other) {
        err(QStringLiteral("kolva: ") + oneLine(QString::fromLocal8Bit(other.what())) + QLatin1Char('\n'));
    } catch (...) {
        // Not one of ours nor of the standard library: nothing tells what it
        // was, but the job has failed all the same, and says so.
        err(QStringLiteral("kolva: the command failed on an unexpected error that gives no description\n"));
    }
    return Failed;
}

namespace cli {
namespace {

int helpCommand(const QStringList& arguments, const QString& programDir)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Help.")));
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    const QStringList topics = parser.positionalArguments().mid(1);
    if (topics.size() > 1)
        return usageError(QStringLiteral("help takes one command; \"%1\" is one too many").arg(topics[1]));
    if (topics.isEmpty() || topics[0] == QLatin1String("help")) {
        out(QString::fromUtf8(generalHelp));
        return Done;
    }
    // The command's own --help, whatever the command.
    if (topics[0].startsWith(QLatin1Char('-')))
        return usageError(unknownCommand(topics[0]));
    return runCommand({arguments.value(0), topics[0], QStringLiteral("--help")}, programDir);
}

} // namespace
} // namespace cli

int parseWindowOptions(const QStringList& arguments, QString& database)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption option(QStringLiteral("database"), QStringLiteral("The database."), QStringLiteral("FILE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Version."));
    parser.addOptions({option, help, version});
    if (!parser.parse(cli::withoutWindowSystemOptions(arguments)))
        return cli::usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return cli::usageError(cli::unknownCommand(parser.positionalArguments().first()));
    if (parser.isSet(help)) {
        cli::out(QString::fromUtf8(cli::generalHelp));
        return cli::Done;
    }
    if (parser.isSet(version)) {
        cli::out(QStringLiteral("kolva %1\n").arg(QStringLiteral(KOLVA_VERSION)));
        return cli::Done;
    }
    database = parser.value(option);
    return -1;
}

int runCommandProcess(int& argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (commandOf(arguments) == QLatin1String("report")) {
        // A report measures its text with the system's fonts, which takes a
        // GUI application, but no display: unless a platform was asked for,
        // the offscreen one serves where no display exists (a server, a
        // scheduled job).
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !platformGiven(arguments))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // A scheduled job has no XDG_RUNTIME_DIR, and the platform's start
        // says so on every run; nothing the user can act on.
        static QtMessageHandler qtHandler = nullptr;
        qtHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
                return;
            qtHandler(type, context, text);
        });
        QGuiApplication app(argc, argv);
        return runCommand(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
    }
    // The other commands need no display: a core application only.
    QCoreApplication app(argc, argv);
    installTerminationHandlers();
    const int status = runCommand(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
    endAsTerminated();
    return status;
}

} // namespace kolva
