#include "app/startup.h"

#include "app/frmMain.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/database.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QPointer>

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

std::unique_ptr<KolvaSession> startKolva(const QString& programDir, Prompter& prompter, Shell& shell, Drives& drives,
                                         Clock& clock)
{
    std::unique_ptr<Database> db;
    try {
        db = openKolvaDatabase(databasePath(programDir));
    } catch (const DatabaseRefused& refused) {
        prompter.critical(nullptr, refused.userMessage(), QStringLiteral("KOLVA"));
        return nullptr;
    }
    // Windows hide the Main window while they are open; the program ends
    // only when the Main window closes.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    Database& database = *db;
    auto session = std::make_unique<KolvaSession>(std::move(db),
                                                  AppContext{database, prompter, shell, drives, clock, programDir});
    session->mainWindow()->show();
    return session;
}

int runKolva(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KOLVA"));
    QtPrompter prompter;
    DesktopShell shell;
    SystemDrives drives;
    SystemClock clock;
    auto session = startKolva(QCoreApplication::applicationDirPath(), prompter, shell, drives, clock);
    if (!session)
        return 1;
    const int status = QApplication::exec();
    session.reset();
    return status;
}

} // namespace kolva
