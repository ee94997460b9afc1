#include "app/startup.h"

#include "app/commandline.h"
#include "app/datalocation.h"
#include "app/frmMain.h"
#include "app/termination.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/failure.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "platform/settings.h"
#include "platform/shell.h"
#include "store/conversion.h"
#include "store/database.h"
#include "store/databasetarget.h"
#include "store/kolvadb.h"
#include "store/surveyhistory.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace kolva {

KolvaSession::KolvaSession(std::unique_ptr<Database> db, AppContext context)
    : db_(std::move(db)), context_(context)
{
    main_ = std::make_unique<frmMain>(context_);
    bindMenuWindows(*main_);
    QObject::connect(main_.get(), &frmMain::exitRequested, qApp, [] { QCoreApplication::exit(0); });
}

KolvaSession::~KolvaSession()
{
    // Background work ends first: it may be writing to the database.
    BackgroundJob::stopAllNow();
    // Windows use the database: they go first, the connection last.
    // Deleting a window deletes the pop-ups it owns (a combo box's list,
    // say), which are top-level widgets too: hold each by a guarded pointer.
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        windows.append(window);
    for (const QPointer<QWidget>& window : std::as_const(windows)) {
        if (window && window != main_.get() && !window->parentWidget() && window->testAttribute(Qt::WA_DeleteOnClose))
            delete window.data();
    }
    main_.reset();
    db_.reset();
}

namespace {

// Converts the Access database in the background; then says how it went
// and starts on the new database.
void convertThenStart(const QString& programDir, Prompter& prompter, Shell& shell, Drives& drives, Clock& clock,
                      Settings& settings, const StartOptions& options, const QString& path)
{
    ConversionRequest request;
    request.accessPath = path;
    request.now = clock.now();
    request.user = operatingSystemUser();
    auto result = std::make_shared<ConversionResult>();
    BackgroundJob::start(
        nullptr, QStringLiteral("Converting the database"),
        [request, result](Progress& progress) { *result = convertAccessDatabase(request, progress); },
        [=, &prompter, &shell, &drives, &clock, &settings](std::exception_ptr error) {
            if (error) {
                FailureReport report;
                report.caption = QStringLiteral("KOLVA");
                report.icon = MsgIcon::Critical;
                report.stoppedText =
                    QStringLiteral("The conversion was stopped. The Access database has not been changed.");
                reportFailure(prompter, nullptr, report, error);
                options.converted(nullptr);
                return;
            }
            prompter.inform(nullptr, result->summary(), QStringLiteral("KOLVA"));
            StartOptions again = options;
            again.converted = nullptr;
            again.converting = nullptr;
            options.converted(startKolva(programDir, prompter, shell, drives, clock, settings, again));
        });
}

// Opens the database; when the server asks for a password that libpq's own
// places do not give (or the one typed was wrong), asks the user for it
// until it is right or Cancel is pressed (then gives nothing). The password
// goes to the connection only.
std::unique_ptr<Database> openAskingPassword(const QString& path, Prompter& prompter)
{
    QString password;
    for (;;) {
        try {
            return openKolvaDatabase(path, DefaultBusyTimeoutMs, password);
        } catch (const DatabaseRefused& refused) {
            const bool wrong = refused.reason() == DatabaseRefused::Reason::PasswordRefused;
            if (!wrong && refused.reason() != DatabaseRefused::Reason::PasswordNeeded)
                throw;
            InputRequest ask;
            ask.title = QStringLiteral("KOLVA");
            ask.prompt = (wrong ? QStringLiteral("The server did not accept the password.\n\n") : QString())
                         + QStringLiteral("The server of the database\n%1\nasks for a password.\n\nPassword:")
                               .arg(refused.path());
            ask.password = true;
            const std::optional<QString> typed = prompter.inputText(nullptr, ask);
            if (!typed)
                return nullptr;
            password = *typed;
        }
    }
}

} // namespace

std::unique_ptr<KolvaSession> startKolva(const QString& programDir, Prompter& prompter, Shell& shell, Drives& drives,
                                         Clock& clock, Settings& settings, const StartOptions& options)
{
    const QString path = options.databasePath.isEmpty() ? databasePath(programDir) : options.databasePath;
    const QFileInfo pathInfo(path);
    const bool server = isServerDatabaseUri(path);
    if (!server && !options.makeFrom.isEmpty() && !pathInfo.exists() && !pathInfo.isSymLink()) {
        DataLocation location;
        location.databasePath = pathInfo.absoluteFilePath();
        location.dataDir = pathInfo.absolutePath();
        location.makeFrom = options.makeFrom;
        if (const QString why = makeUserDatabase(location); !why.isEmpty()) {
            prompter.critical(nullptr, why, QStringLiteral("KOLVA"));
            return nullptr;
        }
        prompter.inform(nullptr, firstStartMessage(location), QStringLiteral("KOLVA"));
    }
    // What a conversion killed half-way left is undone before the file is
    // looked at.
    if (const QString recovered = server ? QString() : recoverInterruptedConversion(path); !recovered.isEmpty())
        prompter.inform(nullptr, recovered, QStringLiteral("KOLVA"));
    std::unique_ptr<Database> db;
    try {
        db = openAskingPassword(path, prompter);
        if (!db)
            return nullptr; // the password was not given
    } catch (const DatabaseRefused& refused) {
        if (refused.reason() == DatabaseRefused::Reason::EarlierVersion && options.converted) {
            MessageRequest question;
            question.text = refused.userMessage()
                            + QStringLiteral("\n\nKOLVA keeps its data in a SQLite database. Convert this database "
                                             "now? Every table is copied into a new KOLVA database; the Access file "
                                             "itself is not changed and is kept beside it as %1.\n\n"
                                             "No ends KOLVA and leaves the file as it is.")
                                  .arg(QFileInfo(path).fileName() + QStringLiteral(".access-")
                                       + clock.today().toString(QStringLiteral("yyyyMMdd")));
            question.caption = QStringLiteral("KOLVA");
            question.icon = MsgIcon::Question;
            question.buttons = MsgButtons::YesNo;
            question.defaultButton = MsgAnswer::Yes;
            if (prompter.message(nullptr, question) == MsgAnswer::Yes) {
                if (options.converting)
                    *options.converting = true;
                convertThenStart(programDir, prompter, shell, drives, clock, settings, options, path);
            }
            return nullptr;
        }
        prompter.critical(nullptr, refused.userMessage(), QStringLiteral("KOLVA"));
        return nullptr;
    }
    // Windows hide the Main window while they are open; the program ends
    // only when the Main window closes.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    Database& database = *db;
    // A server database keeps the card's backup folders and the logs in the
    // user's data folder, which the first start makes.
    if (server && !QDir().mkpath(EnvironmentFolders::current().userDataDir))
        qWarning("the data folder %s could not be made", qPrintable(EnvironmentFolders::current().userDataDir));
    auto session = std::make_unique<KolvaSession>(
        std::move(db), AppContext{database, prompter, shell, drives, clock, programDir, settings,
                                  server ? EnvironmentFolders::current().userDataDir : pathInfo.absolutePath()});
    session->mainWindow()->show();
    return session;
}

namespace {

// A display that is named but cannot be reached (DISPLAY of a session that
// has ended) ends the window system's start with a fatal message and an
// abort: said as a failure of the command instead.
QtMessageHandler qtMessages = nullptr;
void noWindowSystem(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg)
        return qtMessages(type, context, text);
    std::fprintf(stderr, "kolva: the windows cannot start: %s\n", qPrintable(text));
    std::fflush(stderr);
    std::_Exit(1);
}

bool displayAvailable(const QStringList& arguments)
{
    // A platform named (-platform offscreen, QT_QPA_PLATFORM) is taken as
    // asked; the default one needs an X or Wayland display.
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || platformGiven(arguments))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int runKolvaMain(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!commandOf(arguments).isEmpty())
        return runCommandProcess(argc, argv);
    // The windows: their options are read before any window system starts,
    // so that --help, --version and a wrong option need no display.
    QString database;
    if (const int status = parseWindowOptions(arguments, database); status >= 0)
        return status;
    if (!displayAvailable(arguments)) {
        std::fputs("kolva: the windows need a display, and none was found (DISPLAY and WAYLAND_DISPLAY are not "
                   "set).\nStart KOLVA in a desktop session, or give a command to work without windows: \"kolva "
                   "--help\" lists them.\n",
                   stderr);
        std::fflush(stderr);
        return 1;
    }
    return runKolva(argc, argv);
}

int runKolva(int argc, char** argv)
{
    qtMessages = qInstallMessageHandler(noWindowSystem);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
    QApplication::setApplicationName(QStringLiteral("KOLVA"));
    QString databasePath;
    if (const int status = parseWindowOptions(QCoreApplication::arguments(), databasePath); status >= 0)
        return status;
    QtPrompter prompter;
    DesktopShell shell;
    SystemDrives drives;
    SystemClock clock;
    FileSettings settings;
    std::unique_ptr<KolvaSession> session;
    bool converting = false;
    const QString programDir = QCoreApplication::applicationDirPath();
    const DataLocation location =
        resolveDataLocation(programDir, EnvironmentFolders::current(), settings, databasePath);
    StartOptions options;
    options.databasePath = location.databasePath;
    options.makeFrom = location.makeFrom;
    options.converting = &converting;
    bool conversionEnded = false;
    options.converted = [&session, &conversionEnded](std::unique_ptr<KolvaSession> converted) {
        conversionEnded = true;
        session = std::move(converted);
        if (!session)
            QCoreApplication::exit(1);
    };
    installTerminationHandlers();
    session = startKolva(programDir, prompter, shell, drives, clock, settings, options);
    if (!session && !converting) {
        endAsTerminated();
        return 1;
    }
    // SIGTERM or SIGINT: running jobs stop as if cancelled; the windows are
    // closed as Exit closes them (each finishes what it holds), and the
    // program ends by the signal.
    QTimer terminationWatch;
    bool closing = false;
    QObject::connect(&terminationWatch, &QTimer::timeout, [&session, &conversionEnded, &closing] {
        // Not while a message or a job's progress is up: the job stops
        // first, a message waits for its answer (or the grace time).
        if (terminationSignal() == 0 || closing || QApplication::activeModalWidget())
            return;
        if (session) {
            closing = true;
            session->mainWindow()->close(); // a window that refuses is asked again
            closing = false;
        } else if (conversionEnded) {
            QCoreApplication::exit(1);
        }
        // else the conversion at start stops as if cancelled and says so
    });
    terminationWatch.start(100);
    const int status = QApplication::exec();
    terminationWatch.stop();
    // A job still running (the event loop was left without the Main
    // window's Exit) stops before anything it uses is torn down.
    BackgroundJob::stopAllNow();
    session.reset();
    endAsTerminated();
    return status;
}

} // namespace kolva
