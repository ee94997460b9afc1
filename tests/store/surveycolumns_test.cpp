// The description of the survey table agrees with the table the schema makes:
// the same columns in the same order, the declared types, and the ranges the
// table enforces on its whole numbers.

#include "store/database.h"
#include "store/kolvadb.h"
#include "store/surveycolumns.h"
#include "tests/support/testcontext.h"

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

QString declaredType(SurveyColumnKind kind)
{
    switch (kind) {
    case SurveyColumnKind::Int16:
    case SurveyColumnKind::Int32:
    case SurveyColumnKind::YesNo:
        return QStringLiteral("INTEGER");
    case SurveyColumnKind::Real:
        return QStringLiteral("REAL");
    case SurveyColumnKind::Text:
    case SurveyColumnKind::DateTime:
        break;
    }
    return QStringLiteral("TEXT");
}

TEST(SurveyColumns, DescribeTheTableInItsOrder)
{
    TempProgramDir dir;
    auto db = openKolvaDatabase(dir.databasePath());
    QStringList names, types;
    QSqlQuery q = db->query(QStringLiteral("SELECT name, type FROM pragma_table_info('_Archived_SurveyData') "
                                           "WHERE name <> 'ID' ORDER BY cid"));
    while (q.next()) {
        names << q.value(0).toString();
        types << q.value(1).toString();
    }
    EXPECT_EQ(surveyColumnNames(surveyColumns()), names);
    QStringList described;
    for (const SurveyColumn& column : surveyColumns())
        described << declaredType(column.kind);
    EXPECT_EQ(described, types);

    ASSERT_EQ(importedSurveyColumns().size(), size_t(ImportedSurveyColumnCount));
    EXPECT_STREQ(importedSurveyColumns().front().name, "Surveyor");
    EXPECT_STREQ(importedSurveyColumns().back().name, "Utility_Conflict");
    EXPECT_EQ(findSurveyColumn(u"dbh"), findSurveyColumn(u"DBH"));
    ASSERT_NE(findSurveyColumn(u"DBH"), nullptr);
    EXPECT_EQ(findSurveyColumn(u"DBH")->kind, SurveyColumnKind::Int16);
    EXPECT_EQ(findSurveyColumn(u"ID"), nullptr);
}

TEST(SurveyColumns, WholeNumberRangesAreTheOnesTheTableEnforces)
{
    TempProgramDir dir;
    auto db = openKolvaDatabase(dir.databasePath());
    for (const SurveyColumn& column : surveyColumns()) {
        const qint64 low = surveyColumnMinimum(column.kind), high = surveyColumnMaximum(column.kind);
        if (high == 0)
            continue;
        const QString insert = QStringLiteral("INSERT INTO _Archived_SurveyData (%1) VALUES (?)").arg(column.columnName());
        EXPECT_NO_THROW(db->exec(insert, {low})) << column.name;
        EXPECT_NO_THROW(db->exec(insert, {high})) << column.name;
        EXPECT_THROW(db->exec(insert, {low - 1}), DbError) << column.name;
        EXPECT_THROW(db->exec(insert, {high + 1}), DbError) << column.name;
    }
}

} // namespace
