#include "card/cardwriter.h"
#include "store/database.h"
#include "tests/card/cardtest.h"
#include "tests/support/fulldisk.h"
#include "tests/support/oddentries.h"
#include "tests/support/testcontext.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

class CardWriterTest : public ::testing::Test {
protected:
    void fill(const char* table, const char* column, const QStringList& values)
    {
        ctx.db->exec(QStringLiteral("DELETE FROM %1").arg(table));
        for (const QString& value : values)
            ctx.db->exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(table, column), {value});
    }
    QByteArray file(const char* name) { return readBytes(card.path(name)); }

    TestContext ctx;
    TestCard card{false};
};

TEST_F(CardWriterTest, WritesTheEightListsByteForByte)
{
    fill("Surveyors", "Description", {"ZED", "anna o'neil", "BOB \"B\" SMITH"});
    fill("Streets_PDA", "StreetName", {"MAIN ST", "ELM ST", "aspen way"});
    fill("Species", "Description", {QString::fromUtf8("QURU-RED OAK"), QString::fromUtf8("ACPL-\u00c9RABLE"),
                                    QString::fromUtf8("O\u2019BRIEN OAK")});
    fill("RiskZone", "Description", {"PARK", "DOWNTOWN"});
    ctx.db->exec("DELETE FROM Risk_Rating WHERE Risk_Question_Num = 3");
    ctx.db->exec("INSERT INTO Risk_Rating VALUES (3, 2, 'Often '), (3, -1, 'Target '), (3, 0, 'Never ')");

    const CardWriteResult result = writeStorageCard(*ctx.db, card.root());
    EXPECT_EQ(result.written, QStringList({"RiskRating_1.txt", "RiskRating_2.txt", "RiskRating_3.txt",
                                           "RiskRating_4.txt", "RiskZones.txt", "Surveyors.txt", "Streets.txt",
                                           "Species.txt"}));
    EXPECT_TRUE(result.altered.isEmpty());
    const struct {
        const char* name;
        QByteArray bytes;
    } expected[] = {
        {"RiskRating_1.txt", "Size of Defective Part \r\nLess than 4 in \r\n4 to 20 in \r\nGreater than 20 in \r\n"},
        {"RiskRating_2.txt", "Probability of Failure \r\nLow \r\nMedium \r\nHigh \r\nExtremely High \r\n"},
        {"RiskRating_3.txt", "Target \r\nNever \r\nOften \r\n"},
        {"RiskRating_4.txt", "Other Risk Factors \r\nNone \r\nMinor \r\nMajor \r\n"},
        {"RiskZones.txt", "DOWNTOWN\r\nPARK\r\n"},
        {"Surveyors.txt", "-- UNKNOWN/OTHER -\r\nanna o'neil\r\nBOB \"B\" SMITH\r\nZED\r\n"},
        {"Streets.txt", "-- UNKNOWN/OTHER -\r\naspen way\r\nELM ST\r\nMAIN ST\r\n"},
        {"Species.txt", "ACPL-\xc9RABLE\r\nO\x92" "BRIEN OAK\r\nQURU-RED OAK\r\n"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(file(e.name), e.bytes) << e.name;
    EXPECT_EQ(QDir(card.root()).entryList(QDir::Files | QDir::Hidden).size(), 8) << "no temporary file left";
}

TEST_F(CardWriterTest, EmptyListsGiveTheFirstLineOrAnEmptyFile)
{
    for (const char* table : {"Surveyors", "Species", "Streets_PDA", "RiskZone", "Risk_Rating"})
        ctx.db->exec(QStringLiteral("DELETE FROM %1").arg(table));
    writeStorageCard(*ctx.db, card.root());
    EXPECT_EQ(file("Surveyors.txt"), "-- UNKNOWN/OTHER -\r\n");
    EXPECT_EQ(file("Streets.txt"), "-- UNKNOWN/OTHER -\r\n");
    for (const char* name : {"Species.txt", "RiskZones.txt", "RiskRating_1.txt", "RiskRating_4.txt"}) {
        EXPECT_TRUE(card.has(name)) << name;
        EXPECT_EQ(file(name), "") << name;
    }
}

TEST_F(CardWriterTest, WritingAgainReplacesTheListsAndLeavesFieldDataAlone)
{
    card.addTree("12.tree", treeLines(12));
    writeBytes(card.path("Species.txt"), "an old, much longer species list\r\nwith two lines\r\n");
    writeStorageCard(*ctx.db, card.root());
    const QByteArray first = file("Species.txt");
    EXPECT_FALSE(first.contains("old"));
    writeStorageCard(*ctx.db, card.root());
    EXPECT_EQ(file("Species.txt"), first);
    EXPECT_EQ(file("12.tree"), joinLines(treeLines(12)));
}

TEST_F(CardWriterTest, AnEntryTheCardCannotHoldIsWrittenWithQuestionMarksAndReported)
{
    fill("Surveyors", "Description", {QString::fromUtf8("\u0150RS\u00c9G"), "TWO\r\nLINES", "PLAIN"});
    const CardWriteResult result = writeStorageCard(*ctx.db, card.root());
    EXPECT_EQ(file("Surveyors.txt"), "-- UNKNOWN/OTHER -\r\nPLAIN\r\nTWO??LINES\r\n?RS\xc9G\r\n");
    ASSERT_EQ(result.altered.size(), 2);
    EXPECT_EQ(result.altered[0].list, "Surveyors");
    EXPECT_EQ(alteredEntriesReport(result.altered),
              QString::fromUtf8("2 entries hold characters a storage card cannot hold; they were written with \"?\" "
                                "in their place:\nSurveyors: TWO??LINES (a line break written as \"?\")\n"
                                "Surveyors: ?RS\u00c9G (\"\u0150\" written as \"?\")"));
    EXPECT_EQ(alteredEntriesReport({}), "");
}

TEST_F(CardWriterTest, ACardThatCannotBeWrittenStopsAtTheFirstFailure)
{
    // Where Species.txt belongs there is a folder: the last file fails.
    QDir(card.root()).mkpath("Species.txt/inside");
    try {
        writeStorageCard(*ctx.db, card.root());
        FAIL() << "no error";
    } catch (const CardWriteError& error) {
        EXPECT_TRUE(error.description().startsWith("Species.txt cannot be written on the storage card in " +
                                                    QDir::toNativeSeparators(card.root()) + ": "))
            << error.description().toStdString();
        EXPECT_FALSE(error.writeProtected());
    }
    for (const char* name : {"RiskRating_1.txt", "RiskZones.txt", "Surveyors.txt", "Streets.txt"})
        EXPECT_TRUE(card.has(name)) << "written before the failure: " << name;

    EXPECT_THROW(writeStorageCard(*ctx.db, card.path("no such folder")), CardWriteError);
    EXPECT_THROW(writeStorageCard(*ctx.db, QString()), CardWriteError) << "never the working directory";
}

TEST_F(CardWriterTest, ALinkPipeOrFolderInAListFilesPlaceIsRefusedAndNeverWrittenThrough)
{
    for (const char* name : {"Surveyors.txt", "Species.txt"}) {
        for (const auto& odd : oddEntryCases) {
            SCOPED_TRACE(std::string(name) + " " + odd.says);
            TestCard card{false};
            QTemporaryDir elsewhere;
            const QString outside = elsewhere.filePath("KOLVA.MDB");
            makeOddEntry(odd.kind, card.path(name), outside);
            try {
                writeStorageCard(*ctx.db, card.root());
                ADD_FAILURE() << "no error";
            } catch (const CardWriteError& error) {
                EXPECT_EQ(error.description(), QStringLiteral("%1 cannot be written on the storage card in %2: %1 %3")
                                                   .arg(name, QDir::toNativeSeparators(card.root()), odd.says));
            }
            expectOddEntryKept(odd.kind, card.path(name), outside);
            EXPECT_EQ(card.has("Streets.txt"), QString(name) == "Species.txt") << "only the files before it";
            EXPECT_TRUE(leftTemporaryFiles(card.root()).isEmpty());
        }
    }
}

TEST_F(CardWriterTest, AFullCardSaysSoAndKeepsTheOldList)
{
    const QString folder = fullDiskFolder();
    if (folder.isEmpty())
        return;
    writeBytes(folder + "/Species.txt", "the old list\r\n");
    fillFileSystem(folder);
    try {
        writeStorageCard(*ctx.db, folder);
        ADD_FAILURE() << "no error";
    } catch (const CardWriteError& error) {
        EXPECT_TRUE(error.description().endsWith(": No space left on device")) << error.description().toStdString();
    }
    EXPECT_EQ(readBytes(folder + "/Species.txt"), "the old list\r\n");
    EXPECT_TRUE(leftTemporaryFiles(folder).isEmpty());
}

TEST_F(CardWriterTest, ADatabaseErrorIsACardWriteError)
{
    ctx.db->exec("DROP TABLE Streets_PDA");
    try {
        writeStorageCard(*ctx.db, card.root());
        FAIL() << "no error";
    } catch (const CardWriteError& error) {
        // The server names the table as it folds names, in lower case.
        EXPECT_TRUE(error.description().contains("Streets_PDA", Qt::CaseInsensitive))
            << error.description().toStdString();
    }
    EXPECT_TRUE(card.has("Surveyors.txt"));
    EXPECT_FALSE(card.has("Streets.txt"));
}

} // namespace
