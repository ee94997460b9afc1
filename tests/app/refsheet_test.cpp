#include "app/refsheet.h"
#include "tests/support/testcontext.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

QString pdfText(const QString& path)
{
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path)
{
    QProcess p;
    p.start("pdfinfo", {path});
    p.waitForFinished(30000);
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

void expectSheet(const QString& path, Database& db)
{
    const QString text = pdfText(path);
    EXPECT_TRUE(text.contains("KOLVA Corrective Action Codes"));
    QSqlQuery q = db.query("SELECT CA_Code, CA_Description FROM _tblCorrAction ORDER BY CA_Code");
    int rows = 0;
    while (q.next()) {
        ++rows;
        EXPECT_TRUE(text.contains(q.value(1).toString())) << q.value(1).toString().toStdString();
    }
    EXPECT_EQ(rows, 11);
    EXPECT_EQ(pdfPages(path), 1);
}

TEST(ReferenceSheet, ListsEveryCodeOnOnePage)
{
    TestContext t;
    t.db->exec("UPDATE _tblCorrAction SET CA_Description = 'Cable or Brace the Stems' WHERE CA_Code = 10");
    const QString path = t.dir.filePath("sheet.pdf");
    writeCorrectiveActionSheet(*t.db, path);
    expectSheet(path, *t.db);
    EXPECT_TRUE(pdfText(path).contains("Cable or Brace the Stems"));
}

TEST(ReferenceSheet, TheBuildShipsItBesideTheProgram)
{
    TestContext t; // the supplied codes
    expectSheet(QStringLiteral(KOLVA_PROGRAM_DIR "/KOLVA_Corrective_Actions.PDF"), *t.db);
}

} // namespace
