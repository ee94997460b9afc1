#include "store/accessfile.h"
#include "store/database.h"
#include "tests/support/testcontext.h"

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

TEST(AccessFile, ListsUserTablesInFileOrder)
{
    const struct {
        const char* file;
        QStringList tables;
        const char* format;
    } cases[] = {
        {"legacy_kolva.mdb",
         {"_Archived_SurveyData", "Surveyors", "Species", "RiskZone", "Risk_Rating", "_Streets_Master", "Streets_PDA",
          "_tblCorrAction", "_tblCosts"},
         "Access 2000 (Jet 4)"},
        {"species_zones.mdb",
         {"Reference City Region List", "01 Northeast", "02 Southeast", "12 Southwest", "05 Empty Zone", "Notes",
          "9X Odd"},
         "Access 2000 (Jet 4)"},
        {"no_reference.mdb", {"01 Northeast"}, "Access 2000 (Jet 4)"},
    };
    for (const auto& c : cases) {
        const auto file = AccessFile::open(testDataPath(c.file));
        EXPECT_EQ(file->tableNames(), c.tables) << c.file;
        EXPECT_EQ(file->formatName(), c.format);
    }
}

TEST(AccessFile, ReadsRowsWithNullsApostrophesDatesAndNumbers)
{
    const auto file = AccessFile::open(testDataPath("legacy_kolva.mdb"));
    EXPECT_EQ(file->rowCount("_Archived_SurveyData"), 5);
    EXPECT_EQ(file->rowCount("no such table"), -1);
    EXPECT_EQ(file->columnNames("Surveyors"), QStringList({"ID", "Description"}));

    const QList<QVariantList> surveyors = file->rows("surveyors");
    ASSERT_EQ(surveyors.size(), 3);
    EXPECT_EQ(surveyors[2][1].toString(), "O'NEIL P");

    const QStringList columns = file->columnNames("_Archived_SurveyData");
    const QList<QVariantList> rows = file->rows("_Archived_SurveyData");
    ASSERT_EQ(rows.size(), 5);
    const auto value = [&](int row, const char* column) { return rows[row][columns.indexOf(column)]; };
    EXPECT_EQ(value(0, "Date_Evaluated").toString(), "2007-06-14 09:35:00");
    EXPECT_EQ(value(0, "Latitude").toString(), "42.360712");
    EXPECT_TRUE(value(1, "Latitude").isNull());
    EXPECT_EQ(value(1, "Note").toString(), "Owner's request: \"save the tree\" if possible.");
    EXPECT_TRUE(value(2, "CorrectiveActions").isNull()) << "a zero-length text reads as empty";
    EXPECT_EQ(value(4, "Hazard_Rating").toInt(), 12);

    const QList<QVariantList> risk = file->rows("Risk_Rating");
    ASSERT_EQ(risk.size(), 18);
    EXPECT_EQ(risk[1][2].toString(), "1. Small ") << "the trailing blank is part of the value";
    EXPECT_TRUE(file->rows("05 Empty Zone").isEmpty());
}

TEST(AccessFile, RefusesFilesThatAreNotAccessDatabases)
{
    TempProgramDir dir;
    EXPECT_THROW(AccessFile::open(dir.databasePath()), DbError) << "a SQLite file";
    EXPECT_THROW(AccessFile::open(dir.filePath("missing.mdb")), DbError);
}

} // namespace
