// The supplied database's lists and the checks of its fields, on either
// engine.
#include "store/kolvadb.h"
#include "tests/support/testcontext.h"

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

class SuppliedLists : public ::testing::Test {
protected:
    TestContext ctx;
    Database* db = ctx.db.get();
};

TEST_F(SuppliedLists, NamesAndTextCompareWithoutCase)
{
    EXPECT_EQ(db->scalar("SELECT COUNT(STreetName) FROM _streets_MASTER").toInt(), 4);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _TblCosts").toInt(), 0);
    EXPECT_EQ(db->scalar("SELECT StreetName FROM _Streets_Master WHERE StreetName = 'elm st'").toString(), "ELM ST");
    db->exec("INSERT INTO Surveyors (Description) VALUES ('b smith'), ('A JONES')");
    QSqlQuery q = db->query("SELECT Description FROM Surveyors ORDER BY Description");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), "A JONES");
}

TEST_F(SuppliedLists, CorrectiveActionsAreTheElevenCodes)
{
    QSqlQuery q = db->query("SELECT CA_Code, CA_Description FROM _tblCorrAction ORDER BY CA_Code");
    int expected = 1;
    while (q.next()) {
        EXPECT_EQ(q.value(0).toInt(), expected++);
        EXPECT_GE(q.value(1).toString().size(), 8) << "a description in full words";
    }
    EXPECT_EQ(expected, 12);
}

TEST_F(SuppliedLists, RiskQuestionsHaveTitlesAndScoredAnswersEndingInOneBlank)
{
    const struct {
        int question;
        int lowest, highest;
    } questions[] = {{1, 1, 3}, {2, 1, 4}, {3, 1, 4}, {4, 0, 2}};
    for (const auto& expected : questions) {
        QSqlQuery q = db->query("SELECT Risk_Order, Description FROM Risk_Rating WHERE Risk_Question_Num = ? "
                                "ORDER BY Risk_Order",
                                {expected.question});
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), -1) << "title row first";
        EXPECT_LE(q.value(1).toString().size(), 25) << "the title fits the risk editor's box";
        int order = expected.lowest;
        while (q.next()) {
            EXPECT_EQ(q.value(0).toInt(), order++);
            const QString text = q.value(1).toString();
            EXPECT_TRUE(text.endsWith(' ') && !text.endsWith("  ")) << text.toStdString();
            EXPECT_LE(text.size(), 25) << "fits the risk editor's boxes";
        }
        EXPECT_EQ(order - 1, expected.highest) << "question " << expected.question;
    }
}

TEST_F(SuppliedLists, ListsAreSuppliedInUpperCase)
{
    for (const char* table : {"Species", "RiskZone"}) {
        QSqlQuery q = db->query(QStringLiteral("SELECT Description FROM %1").arg(table));
        int n = 0;
        while (q.next()) {
            ++n;
            EXPECT_EQ(q.value(0).toString(), q.value(0).toString().toUpper());
        }
        EXPECT_GE(n, 3) << table;
    }
    EXPECT_TRUE(db->scalar("SELECT COUNT(*) FROM Species WHERE Description = 'ACRU-RED MAPLE'").toBool());
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM Streets_PDA").toInt(), 0);
}

TEST_F(SuppliedLists, RefusesValuesOutsideTheFieldsRanges)
{
    const char* insert = "INSERT INTO _Archived_SurveyData (Tree_ID, DBH, Date_Evaluated) VALUES (?, ?, ?)";
    EXPECT_NO_THROW(db->exec(insert, {1, 32767, "2008-01-02 00:00:00"}));
    EXPECT_NO_THROW(db->exec(insert, {2, -32768, "2009-12-31 23:59:59"}));
    EXPECT_THROW(db->exec(insert, {1, 32768, "2008-01-02 00:00:00"}), DbError);
    EXPECT_THROW(db->exec(insert, {1, "12a", "2008-01-02 00:00:00"}), DbError);
    EXPECT_THROW(db->exec(insert, {qint64(3000000000), 1, "2008-01-02 00:00:00"}), DbError);
    EXPECT_THROW(db->exec(insert, {1, 1, "01/02/2008"}), DbError);
    EXPECT_THROW(db->exec(insert, {1, 1, "2008-02-30 00:00:00"}), DbError);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(), 2);
    EXPECT_EQ(db->scalar("SELECT MAX(Report_Flag) FROM _Archived_SurveyData").toInt(), 0);
    EXPECT_EQ(schemaVersion(*db), CurrentSchemaVersion);
}

} // namespace
