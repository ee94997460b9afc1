// Imports of storage cards into a server database (KOLVA_TEST_PG_URI), each
// on a connection of its own: two imports of one card at once, and an import
// whose connection the server ends.
#include "card/fieldimport.h"
#include "platform/jobprogress.h"
#include "store/kolvadb.h"
#include "tests/card/cardtest.h"
#include "tests/support/serverdatabase.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace kolva;
using namespace kolva::test;

namespace {

const QDateTime FirstImport(QDate(2026, 3, 4), QTime(9, 15, 0));
const QDateTime SecondImport(QDate(2026, 3, 4), QTime(9, 16, 0));
constexpr int Files = 30;

// Runs a hook once, when the import has saved some records in its
// transaction and not yet committed.
class HookProgress : public Progress {
public:
    std::function<void()> midway;
    void beginStage(const QString& label, qint64) override { stage_ = label; }
    void advance(qint64 done) override
    {
        if (midway && stage_.startsWith("Importing") && done == Files / 2)
            std::exchange(midway, nullptr)();
    }
    void setCancellable(bool) override {}
    bool cancelRequested() const override { return false; }

private:
    QString stage_;
};

class ImportServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ServerTestDatabase::available()) << "KOLVA_TEST_PG_URI is not set";
        server = std::make_unique<ServerTestDatabase>();
        db = openKolvaDatabase(server->uri());
        for (int n = 1; n <= Files; ++n)
            card.addTree(QStringLiteral("%1.tree").arg(n, 3, 10, QLatin1Char('0')), treeLines(n));
    }
    CardImportRequest request(const QDateTime& now, bool keepBackup = false)
    {
        CardImportRequest r;
        r.cardRoot = card.root();
        r.dataDir = dataDir.path();
        r.databasePath = server->uri();
        r.keepBackup = keepBackup;
        r.now = now;
        r.user = "anna";
        r.openDatabase = [](const QString& uri) { return openKolvaDatabase(uri); };
        return r;
    }
    int count(const char* table) { return db->scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt(); }
    // True once a connection waits for a lock on the imported files.
    bool importWaits()
    {
        return db->scalar("SELECT COUNT(*) FROM pg_locks WHERE NOT granted AND relation = '_imported_files'::regclass")
                   .toInt() > 0;
    }

    std::unique_ptr<ServerTestDatabase> server;
    std::unique_ptr<Database> db;
    TestCard card;
    QTemporaryDir dataDir;
};

// The second import of the card, started while the first is saving, waits
// for it and then finds every file imported before: each is saved once.
TEST_F(ImportServerTest, TwoImportsOfOneCardAtOnceSaveEachFileOnce)
{
    CardImportResult second;
    QStringList asked;
    std::thread other;
    HookProgress progress;
    progress.midway = [&] {
        other = std::thread([&] {
            HookProgress quiet;
            second = importCard(request(SecondImport), quiet, [&](const AlreadyImported& already) {
                asked << alreadyImportedQuestion(already);
                return false;
            });
        });
        // The first import's transaction stays open until the second waits for it.
        for (int polls = 0; !importWaits(); ++polls) {
            ASSERT_LT(polls, 2000) << "the second import did not wait";
            QThread::msleep(2);
        }
    };
    const CardImportResult first =
        importCard(request(FirstImport), progress, [](const AlreadyImported&) { return false; });
    other.join();

    EXPECT_EQ(first.stop, CardImportResult::Stop::None) << first.why.toStdString();
    EXPECT_EQ(first.imported, Files);
    EXPECT_EQ(second.stop, CardImportResult::Stop::None) << second.why.toStdString();
    EXPECT_EQ(second.imported, 0);
    ASSERT_EQ(second.skipped.size(), Files);
    EXPECT_TRUE(second.skipped.front().reason.startsWith("already imported on ")) << second.skipped.front().reason.toStdString();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(count("_Archived_SurveyData"), Files);
    EXPECT_EQ(count("_Imported_Files"), Files);
    EXPECT_EQ(db->scalar("SELECT COUNT(DISTINCT Digest) FROM _Imported_Files").toInt(), Files);
}

// The server ends the import's connection while it saves: nothing is
// saved, the result says the connection was lost, and the files stay on
// the card. Imported again once the server is back, they are saved.
TEST_F(ImportServerTest, AnImportWhoseConnectionIsLostSavesNothingAndMovesNoFile)
{
    HookProgress progress;
    progress.midway = [&] {
        ASSERT_TRUE(db->scalar("SELECT pg_terminate_backend(pid) FROM pg_locks WHERE relation = "
                               "'_imported_files'::regclass AND pid <> pg_backend_pid() LIMIT 1")
                        .toBool());
    };
    const CardImportResult lost = importCard(request(FirstImport, true), progress, [](const AlreadyImported&) {
        ADD_FAILURE() << "asked about files imported before";
        return false;
    });
    EXPECT_EQ(lost.stop, CardImportResult::Stop::Database);
    EXPECT_TRUE(lost.why.startsWith("The connection to the database server was lost")) << lost.why.toStdString();
    EXPECT_EQ(count("_Archived_SurveyData"), 0);
    EXPECT_EQ(count("_Survey_History"), 0);
    EXPECT_EQ(count("_Imported_Files"), 0);
    EXPECT_EQ(card.treeFiles().size(), Files);
    EXPECT_TRUE(lost.moved.isEmpty());

    HookProgress again;
    const CardImportResult saved = importCard(request(SecondImport, true), again, [](const AlreadyImported&) {
        ADD_FAILURE() << "asked about files imported before";
        return false;
    });
    EXPECT_EQ(saved.stop, CardImportResult::Stop::None) << saved.why.toStdString();
    EXPECT_EQ(count("_Archived_SurveyData"), Files);
    EXPECT_TRUE(card.treeFiles().isEmpty());
}

} // namespace
