// Exit pressed while background work runs: the work is asked to stop, the
// program ends only once it has ended, and what it leaves is whole.

#include "costing/frmExcelExport.h"
#include "costing/periodblock.h"
#include "platform/progress.h"
#include "reports/frmReinspectionReportOptions.h"
#include "reports/reportwindow.h"
#include "store/database.h"
#include "tests/app/apptest.h"
#include "tests/reports/surveydata.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kolva;
using namespace kolva::test;

namespace {

QByteArray treeFile(int treeId)
{
    QByteArrayList lines = {"PDA", QByteArray::number(treeId), "SMITH", "5/10/2007 09:00", "DOWNTOWN", "12", "MAIN ST",
                            "FRONT", "ACRU-RED MAPLE", "12", "S"};
    for (int i = 12; i <= 24; ++i)
        lines << "0. None";
    lines << "0" << "0" << "0";
    for (int i = 28; i <= 38; ++i)
        lines << "0. None";
    lines << "6" << "" << "2009" << "3,9" << "NOTE" << "";
    return lines.join("\r\n") + "\r\n";
}

class ExitTest : public AppTest {
protected:
    // Whether the work stopped or ended decides the closing message: every
    // message is answered as it comes.
    ExitTest()
    {
        prompter.onPrompt = [this](const PromptRecord& shown) {
            if (shown.kind == PromptRecord::Kind::Message)
                prompter.answer(MsgAnswer::Ok);
        };
    }
    // Runs the program's event loop as runKolva does, with the gesture made
    // from inside it; gives the exit status (99: the program did not end).
    int runWith(const std::function<void()>& gesture)
    {
        QObject::connect(main, &frmMain::exitRequested, main, [this] {
            runningAtExit = BackgroundJob::running().size();
            promptsAtExit = prompter.prompts().size();
        });
        QTimer::singleShot(0, gesture);
        QTimer::singleShot(60000, [] { QCoreApplication::exit(99); });
        return QCoreApplication::exec();
    }
    qint64 surveyCount() { return session->context().db.scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toLongLong(); }
    // Another program can write to the database at once: nothing was left locked.
    void expectDatabaseFree()
    {
        const std::unique_ptr<Database> other = Database::open(databasePath(), 0);
        EXPECT_NO_THROW(other->exec("UPDATE _Archived_SurveyData SET Note = Note WHERE ID = -1"));
    }

    frmMain* main = nullptr;
    qsizetype runningAtExit = -1;
    size_t promptsAtExit = 0;
};

TEST_F(ExitTest, AtOnceAfterStartingAnImportEndsWithAllOrNothingSaved)
{
    QTemporaryDir card;
    QFile marker(card.filePath("RiskRating_1.txt"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    const int files = 60;
    for (int i = 1; i <= files; ++i) {
        QFile tree(card.filePath(QStringLiteral("t%1.tree").arg(i, 3, 10, QLatin1Char('0'))));
        ASSERT_TRUE(tree.open(QIODevice::WriteOnly));
        tree.write(treeFile(i));
    }
    drives.list = {{"/", "", true}, {card.path(), "CARD", false}};
    main = start();
    ASSERT_NE(main, nullptr);
    const qint64 before = surveyCount();

    EXPECT_EQ(runWith([this] {
                  QTest::mouseClick(main->cmdImportSD(), Qt::LeftButton);
                  QTest::mouseClick(child(main, "Command2"), Qt::LeftButton);
              }),
              0);
    EXPECT_EQ(runningAtExit, 0) << "the program ended only once the import had";
    EXPECT_EQ(promptsAtExit, 2u) << "after the import's closing message";
    const QStringList onCard = QDir(card.path()).entryList({"*.tree"}, QDir::Files);
    const QStringList backedUp = QDir(dir.filePath("backup_20080102")).entryList({"*.tree"}, QDir::Files);
    const qint64 saved = surveyCount() - before;
    if (saved == 0) {
        EXPECT_EQ(onCard.size(), files) << "nothing saved: nothing moved";
        EXPECT_TRUE(backedUp.isEmpty());
        EXPECT_TRUE(prompter.last().message.text.contains("cancel", Qt::CaseInsensitive))
            << prompter.last().message.text.toStdString();
    } else {
        EXPECT_EQ(saved, files) << "never half";
        EXPECT_EQ(onCard.size() + backedUp.size(), files) << "every file on the card or in the backup folder";
    }
    expectDatabaseFree();
}

TEST_F(ExitTest, AtOnceAfterStartingAReportBuildEndsWithTheWindowsClosed)
{
    main = start();
    ASSERT_NE(main, nullptr);
    addTree(session->context().db, {.treeId = 1, .reinspectYear = "2008"});
    QPointer<ReportPreviewWindow> report;
    EXPECT_EQ(runWith([&] {
                  main->menuItem("mnuReinspectionReport")->trigger();
                  auto* options = openWindow<frmReinspectionReportOptions>("frmReinspectionReportOptions");
                  ASSERT_NE(options, nullptr);
                  QTest::mouseClick(options->cmdPrint(), Qt::LeftButton);
                  report = options->reportWindow();
                  ASSERT_NE(report, nullptr);
                  ASSERT_TRUE(QTest::qWaitFor([&] { return report && report->job(); }, 10000));
                  main->menuItem("mnuExit")->trigger();
              }),
              0);
    EXPECT_EQ(runningAtExit, 0);
    settle();
    EXPECT_EQ(openWindow("frmReinspectionReport"), nullptr);
    EXPECT_EQ(openWindow("frmReinspectionReportOptions"), nullptr);
    expectDatabaseFree();
}

TEST_F(ExitTest, AtOnceAfterStartingAnExportLeavesTheWholeFileOrNone)
{
    main = start();
    ASSERT_NE(main, nullptr);
    for (int i = 1; i <= 200; ++i)
        addTree(session->context().db, {.treeId = i, .evaluated = "2007-03-05 14:20:00"});
    QTemporaryDir target;
    const QString path = target.filePath("trees.csv");
    prompter.answerFile(path);
    EXPECT_EQ(runWith([&] {
                  main->menuItem("mnuExcelExport")->trigger();
                  auto* exportWindow = openWindow<frmExcelExport>("frmExcelExport");
                  ASSERT_NE(exportWindow, nullptr);
                  exportWindow->periodBlock()->txtBegin()->setText("Jan 01 2007");
                  exportWindow->periodBlock()->txtEnd()->setText("Dec 31 2007");
                  QTest::mouseClick(exportWindow->cmdDoIt(), Qt::LeftButton);
                  ASSERT_NE(exportWindow->job(), nullptr);
                  main->menuItem("mnuExit")->trigger();
              }),
              0);
    EXPECT_EQ(runningAtExit, 0);
    const QStringList left = QDir(target.path()).entryList(QDir::Files | QDir::Hidden);
    if (left.isEmpty()) {
        SUCCEED() << "stopped: nothing written";
    } else {
        ASSERT_EQ(left, QStringList({"trees.csv"})) << "no temporary file stays";
        QFile csv(path);
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        EXPECT_EQ(csv.readAll().count("\r\n"), 201) << "the titles and every tree";
        ASSERT_FALSE(prompter.prompts().empty());
        EXPECT_EQ(prompter.last().message.caption, "Excel CSV File Created");
    }
    expectDatabaseFree();
}

} // namespace
