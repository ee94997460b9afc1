// Files imported before: the question, the answer, and imports that
// overlap while the question waits.

#include "store/kolvadb.h"
#include "tests/card/importscene.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

using namespace kolva;
using namespace kolva::test;

namespace {

class ImportedBeforeTest : public ::testing::Test, public ImportScene {};

TEST_F(ImportedBeforeTest, AFileImportedBeforeIsAskedAboutOnceAndNoSkipsItsRecord)
{
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(2));
    const int first = rows();
    ASSERT_EQ(import().imported, 2);
    EXPECT_TRUE(asked.isEmpty());

    // The same two files, a new one and a copy of a.tree under another name.
    card.addTree("c.tree", treeLines(3));
    card.addTree("a copy.tree", treeLines(1));
    const CardImportResult no = import(true, false);
    EXPECT_EQ(asked, QStringList({"3 files on the card were already imported on 01/02/2008. Import them again?"}));
    EXPECT_EQ(no.imported, 1) << "c.tree";
    EXPECT_EQ(names(no.skipped, true), QStringList({"a copy.tree: already imported on 01/02/2008",
                                                     "a.tree: already imported on 01/02/2008",
                                                     "b.tree: already imported on 01/02/2008"}));
    EXPECT_EQ(no.moved, QStringList({"a copy.tree", "a.tree", "b.tree", "c.tree"})) << "skipped files still move";
    EXPECT_EQ(rows(), first + 3);

    // Yes imports them again, identical bytes only once; a file with the
    // same name and other bytes is new.
    QByteArrayList changed = treeLines(2);
    changed[2] = "BOB SMITH";
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", changed);
    card.addTree("d.tree", treeLines(1));
    const CardImportResult yes = import(true, true);
    EXPECT_EQ(asked, QStringList({"2 files on the card were already imported on 01/02/2008. Import them again?"}));
    EXPECT_EQ(yes.imported, 2) << "a.tree again and the changed b.tree";
    EXPECT_EQ(names(yes.skipped, true), QStringList({"d.tree: the same bytes as a.tree"}));
    EXPECT_EQ(rows(), first + 5);
}

TEST_F(ImportedBeforeTest, CopiesOfTheSameBytesAreFoundAmongManyFiles)
{
    // Copies of early files among the last ones, past any first table of
    // digests a card of a few files fills; the last copy names its original.
    const int distinct = 1400;
    const auto name = [](int k) { return QString("f%1.tree").arg(k, 4, 10, QLatin1Char('0')); };
    for (int k = 0; k < distinct; ++k)
        card.addTree(name(k), treeLines(50000 + k));
    for (int k : {0, 1, 511, 512, 1023, 1024})
        card.addTree(name(distinct + k), treeLines(50000 + k));
    const int first = rows();
    const CardImportResult result = import();
    EXPECT_EQ(result.imported, distinct);
    EXPECT_EQ(names(result.skipped, true),
              QStringList({"f1400.tree: the same bytes as f0000.tree", "f1401.tree: the same bytes as f0001.tree",
                           "f1911.tree: the same bytes as f0511.tree", "f1912.tree: the same bytes as f0512.tree",
                           "f2423.tree: the same bytes as f1023.tree", "f2424.tree: the same bytes as f1024.tree"}));
    EXPECT_EQ(rows(), first + distinct);
}

TEST_F(ImportedBeforeTest, FilesImportedBeforeTheDigestsWereStoredAsBytesAreRecognised)
{
    KOLVA_SQLITE_FILE_ONLY(); // an old file's upgrade
    // A database of version 5 held the digests in hexadecimal.
    const QString path = ctx.db->path();
    ctx.db.reset();
    ASSERT_TRUE(QFile::remove(path));
    makeDatabaseOfVersion(path, 5);
    {
        auto old = Database::open(path);
        for (int tree : {1, 2})
            old->exec("INSERT INTO _Imported_Files (Digest, File_Name, Byte_Size, Imported_At) "
                      "VALUES (?, ?, 10, '2008-01-02 09:00:00')",
                      {QString::fromLatin1(QCryptographicHash::hash(joinLines(treeLines(tree)), QCryptographicHash::Sha256)
                                               .toHex()),
                       QString("%1.tree").arg(tree)});
    }
    ctx.db = openKolvaDatabase(path);

    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(2));
    card.addTree("c.tree", treeLines(3));
    const CardImportResult result = import(false, false);
    EXPECT_EQ(asked, QStringList({"2 files on the card were already imported on 01/02/2008. Import them again?"}));
    EXPECT_EQ(names(result.skipped), QStringList({"a.tree", "b.tree"}));
    EXPECT_EQ(result.imported, 1) << "c.tree";

    // c.tree is now known by its bytes too, beside the files of before.
    const CardImportResult again = import(false, false);
    EXPECT_EQ(names(again.skipped), QStringList({"a.tree", "b.tree", "c.tree"}));
    EXPECT_EQ(again.imported, 0);
}


TEST(AlreadyImportedQuestion, TellsHowManyAndWhen)
{
    const QDate jan2(2008, 1, 2);
    const QDate feb5(2008, 2, 5);
    EXPECT_EQ(alreadyImportedQuestion({1, jan2, jan2}),
              "1 file on the card was already imported on 01/02/2008. Import it again?");
    EXPECT_EQ(alreadyImportedQuestion({12, jan2, jan2}),
              "12 files on the card were already imported on 01/02/2008. Import them again?");
    EXPECT_EQ(alreadyImportedQuestion({3, jan2, feb5}),
              "3 files on the card were already imported between 01/02/2008 and 02/05/2008. Import them again?");
}


TEST_F(ImportedBeforeTest, FilesImportedWhileTheQuestionWaitsAreNotSavedTwice)
{
    // The question is about a.tree. Meanwhile another import of the card
    // saves the new files, and a.tree again or not; then the question is
    // answered Yes.
    const struct {
        bool otherAgain;
        int saved;
        QStringList skipped;
    } cases[] = {
        {false, 1, {"b.tree", "c.tree"}},
        {true, 0, {"a.tree", "b.tree", "c.tree"}},
    };
    for (const auto& c : cases) {
        const qint64 mark = ctx.db->scalar("SELECT COALESCE(MAX(ID), 0) FROM _Archived_SurveyData").toLongLong();
        card.addTree("a.tree", treeLines(1));
        ASSERT_EQ(import(false, true).imported, 1);
        card.addTree("b.tree", treeLines(2));
        card.addTree("c.tree", treeLines(3));
        const int before = rows();
        CardImport waiting(request(false));
        ASSERT_TRUE(waiting.prepare());
        waiting.importFiles(progress);
        ASSERT_TRUE(waiting.alreadyImported());
        EXPECT_EQ(waiting.alreadyImported()->count, 1);

        ASSERT_EQ(import(false, c.otherAgain).imported, c.otherAgain ? 3 : 2);
        waiting.finish(progress, true);
        const CardImportResult& result = waiting.result();
        EXPECT_EQ(result.stop, CardImportResult::Stop::None);
        EXPECT_EQ(result.imported, c.saved) << c.otherAgain;
        QStringList skipped;
        for (const QString& name : c.skipped)
            skipped << name + ": imported meanwhile by another import, on 01/02/2008";
        EXPECT_EQ(names(result.skipped, true), skipped) << c.otherAgain;
        EXPECT_EQ(rows(), before + (c.otherAgain ? 3 : 2) + c.saved) << c.otherAgain;
        for (int tree : {2, 3})
            EXPECT_EQ(ctx.db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Tree_ID = ? AND ID > ?",
                                     {tree, mark})
                          .toInt(),
                      1)
                << "tree " << tree;
        ctx.db->exec("DELETE FROM _Imported_Files");
        for (const char* name : {"b.tree", "c.tree"})
            QFile::remove(card.path(name));
    }
}


TEST_F(ImportedBeforeTest, AFileChangedOnTheCardBeforeTheAnswerStopsTheImportWithNothingSaved)
{
    card.addTree("a.tree", treeLines(1));
    ASSERT_EQ(import().imported, 1);
    card.addTree("b.tree", treeLines(2));
    const int before = rows();
    const int files = count("_Imported_Files");
    CardImport waiting(request(true));
    ASSERT_TRUE(waiting.prepare());
    waiting.importFiles(progress);
    ASSERT_TRUE(waiting.alreadyImported());

    // The handheld writes b.tree again while the question waits; Yes reads
    // the files to save again.
    QByteArrayList changed = treeLines(2);
    changed[2] = "BOB SMITH";
    card.addTree("b.tree", changed);
    waiting.finish(progress, true);
    EXPECT_EQ(waiting.result().stop, CardImportResult::Stop::CardUnreadable);
    EXPECT_EQ(waiting.result().why, "b.tree changed on the storage card after it was read.");
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(count("_Imported_Files"), files);
    EXPECT_EQ(card.treeFiles(), QStringList({"a.tree", "b.tree"}));
    EXPECT_FALSE(QFileInfo::exists(backupDir));
}

} // namespace
