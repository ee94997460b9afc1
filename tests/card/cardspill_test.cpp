// A card larger than the import keeps in memory: its names and what is kept
// of each file go into temporary files in the data folder, and the user sees
// exactly what the import of the same card in memory shows.

#include "card/importmessages.h"
#include "tests/card/importscene.h"

#include <QFile>

#include <unistd.h>

using namespace kolva;
using namespace kolva::test;

namespace {

// The temporary files the import holds open in the data folder (nameless,
// or named and removed when closed).
QStringList spillFiles(const QString& dataDir)
{
    QStringList open;
    const QByteArray folder = QFile::encodeName(dataDir) + "/";
    for (const QString& fd : QDir("/proc/self/fd").entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n = ::readlink(("/proc/self/fd/" + fd.toStdString()).c_str(), target, sizeof target);
        const QByteArray path(target, int(std::max<ssize_t>(n, 0)));
        if (path.startsWith(folder) && !path.mid(folder.size()).startsWith("KOLVA.MDB"))
            open << QString::fromLocal8Bit(path);
    }
    return open;
}

// Everything of one import the user can see, with the folders of its scene
// named alike.
struct Seen {
    QStringList asked;
    QStringList result; // the counts, the named files, the closing message and the log
    QStringList stages;
    QStringList rows;   // the records, their history and the files imported, in order
    QStringList backup; // the backup copies and their bytes
    QStringList cardAfter;
    int spilledDuringMove = -1;
};

// A card of a few hundred files: names that differ only in case, plain and
// accented, same-bytes copies on either side of the runs the names are
// sorted in, files that cannot be imported, a link, and files imported by
// an earlier import.
struct SpillScene : ImportScene {
    void makeCard()
    {
        for (int k = 0; k < 150; ++k)
            card.addTree(QString("tree%1.tree").arg(k, 3, 10, QLatin1Char('0')), treeLines(7000 + k));
        int other = 8000;
        for (const char* name : {"Tree005.tree", "TREE005.tree", "TREE010.TREE", "Tree_x.tree", "tree-x.tree",
                                 "\u00c1rbol.tree", "\u00e1rbol.tree", "arbol.tree", "\u00e9t\u00e9.tree"})
            card.addTree(QString::fromUtf8(name), treeLines(++other));
        for (int k = 0; k < 150; k += 23)
            card.addTree(QString("zcopy%1.tree").arg(k), treeLines(7000 + k));
        card.addTree("Copy of tree003.tree", treeLines(7003));
        for (int k = 0; k < 4; ++k)
            card.addRaw(QString("broken%1.tree").arg(k), "not a field data file\r\n");
        ::symlink("/dev/zero", QFile::encodeName(card.path("zero.tree")).constData());
    }

    Seen importWith(qint64 filesInMemory, bool again)
    {
        // Answered Yes, the move stops part of the way: files stay on the card.
        if (again)
            files.failRemoveOf = "tree120.tree";
        Seen seen;
        // Imported before, and left on the card: the question follows.
        TestCard earlier;
        for (int k = 100; k < 130; ++k)
            earlier.addTree(QString("old%1.tree").arg(k), treeLines(7000 + k));
        CardImportRequest first = request(false);
        first.cardRoot = earlier.root();
        ProgressRecorder before;
        EXPECT_EQ(importCard(first, before, [](const AlreadyImported&) { return false; }).imported, 30);

        files.beforeMove = [&] { seen.spilledDuringMove = int(spillFiles(ctx.dir.path()).size()); };
        CardImportRequest r = request(true);
        r.filesInMemory = filesInMemory;
        std::optional<CardImportResult> result = importCard(r, progress, [&](const AlreadyImported& already) {
            seen.asked << alreadyImportedQuestion(already);
            return again;
        });
        const auto alike = [&](QString text) {
            return text.replace(QDir::toNativeSeparators(card.root()), "<card>")
                .replace(QDir::toNativeSeparators(ctx.dir.path()), "<data>");
        };
        seen.result << QString("found %1 imported %2 moved %3").arg(result->found).arg(result->imported).arg(result->moved.size());
        seen.result << names(result->refused, true) << names(result->skipped, true) << names(result->leftAlone, true)
                    << result->moved.toList() << result->stillOnCard.toList();
        seen.result << alike(importsd::closingMessage(*result).text);
        seen.result << alike(QString::fromUtf8(readBytes(result->logFile)));
        // The long lists of the result stay in the data folder while it lives.
        result.reset();
        for (const ProgressRecorder::Stage& stage : progress.stages())
            seen.stages << QString("%1 %2 %3 %4").arg(stage.label).arg(stage.total).arg(stage.lastDone).arg(stage.cancellable);
        const auto table = [&](const QString& sql) {
            QSqlQuery q = ctx.db->query(sql);
            while (q.next()) {
                QStringList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << (q.value(i).typeId() == QMetaType::QByteArray ? QString::fromLatin1(q.value(i).toByteArray().toHex())
                                                                          : q.value(i).toString());
                seen.rows << row.join('|');
            }
        };
        table("SELECT * FROM _Archived_SurveyData ORDER BY ID");
        table("SELECT Survey_ID, Action, Changed_At, Changed_By FROM _Survey_History ORDER BY Survey_ID");
        table("SELECT Digest, File_Name, Byte_Size, Imported_At, Survey_ID FROM _Imported_Files ORDER BY ID");
        for (const QString& name : backupFiles())
            if (!name.endsWith(".log")) // compared above, the folders named alike
                seen.backup << name + ": " + QString::fromLatin1(readBytes(QDir(backupDir).filePath(name)).toHex());
        seen.cardAfter = card.treeFiles();
        EXPECT_EQ(spillFiles(ctx.dir.path()), QStringList()) << "the temporary files go with the import and its result";
        return seen;
    }
};

TEST(CardSpill, ACardPastTheFilesKeptInMemoryImportsAsTheSameCardInMemory)
{
    for (const bool again : {false, true}) {
        SpillScene inMemory;
        SpillScene onDisk;
        inMemory.makeCard();
        onDisk.makeCard();
        const Seen expected = inMemory.importWith(DefaultFilesInMemory, again);
        const Seen seen = onDisk.importWith(50, again);
        EXPECT_EQ(expected.spilledDuringMove, 0);
        EXPECT_GT(seen.spilledDuringMove, 0) << "past 50 files the import keeps them on the disk";

        ASSERT_EQ(expected.asked, QStringList({"31 files on the card were already imported on 01/02/2008. Import them "
                                               "again?"}));
        EXPECT_EQ(seen.asked, expected.asked) << again;
        EXPECT_EQ(seen.result, expected.result) << again;
        EXPECT_EQ(seen.stages, expected.stages) << again;
        EXPECT_EQ(seen.rows, expected.rows) << again;
        EXPECT_EQ(seen.backup, expected.backup) << again;
        EXPECT_EQ(seen.cardAfter, expected.cardAfter) << again;
        EXPECT_EQ(expected.cardAfter.size() > 30, again) << "the files after the one the move stopped at";
    }
}

TEST(CardSpill, TheNamesOfALargeCardAreListedInTheOrderOfASmallOne)
{
    // Runs of three names merged give the order of one sort in memory.
    TestCard card;
    for (const char* name : {"b.tree", "B.tree", "a.TREE", "A.tree", "c.tree", "_c.tree", "1.tree", "~.tree",
                             "a b.tree", "ab.tree", "A.TREE", "\xc3\x81.tree", "\xc3\xa1.tree", "z.tree"})
        card.addRaw(QString::fromUtf8(name), "1\r\n");
    const auto listed = [&](qint64 filesInMemory) {
        const CardScan scan = scanCard(card.root(), {QString(), filesInMemory});
        std::vector<std::string> names;
        for (const std::filesystem::path& name : scan.files.range(0, 100))
            names.push_back(name.native());
        return names;
    };
    const std::vector<std::string> inMemory = listed(DefaultFilesInMemory);
    EXPECT_EQ(inMemory.size(), 14u);
    for (const qint64 run : {1, 3, 13, 14})
        EXPECT_EQ(listed(run), inMemory) << run;
}

} // namespace
