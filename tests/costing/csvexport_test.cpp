// The CSV export, read back by a real spreadsheet reader (Python's csv
// module) and byte by byte.

#include "costing/csvexport.h"
#include "store/database.h"
#include "store/rowcursor.h"
#include "store/surveycolumns.h"
#include "tests/support/oddentries.h"
#include "tests/support/progressrecorder.h"
#include "tests/support/testcontext.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

// Inserts a record with the values given by column name; every other column
// of the import is filled with its own name as text (or its number).
void addRecord(Database& db, const QVariantMap& values)
{
    QStringList names;
    QVariantList bound;
    for (const SurveyColumn& column : surveyColumns()) {
        const QString name = column.columnName();
        if (name == "Report_Flag")
            continue;
        names << name;
        if (values.contains(name))
            bound << values.value(name);
        else if (column.kind == SurveyColumnKind::Text)
            bound << name.toUpper();
        else if (column.kind == SurveyColumnKind::DateTime)
            bound << QStringLiteral("2007-03-05 14:20:00");
        else if (column.kind == SurveyColumnKind::Real)
            bound << QVariant();
        else
            bound << 1;
    }
    db.exec(QStringLiteral("INSERT INTO _Archived_SurveyData (%1) VALUES (%2)")
                .arg(names.join(','), QStringList(names.size(), "?").join(',')),
            bound);
}

// Every record of a CSV file as Python's csv module reads it; "utf-8-sig"
// reads a byte-order mark as spreadsheet programs do.
std::vector<QStringList> readWithPython(const QString& path, const QString& encoding = "utf-8")
{
    QProcess python;
    python.start(QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3", {"-c",
                             "import csv, json, sys\n"
                             "with open(sys.argv[1], newline='', encoding=sys.argv[2]) as f:\n"
                             "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                             path, encoding});
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    std::vector<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << cell.toString();
        rows.push_back(cells);
    }
    return rows;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const DatePeriod Spring2007{QDate(2007, 3, 1), QDate(2007, 3, 31)};

TEST(CsvExport, WritesFortyFourItemsOfEachKindOnEveryLine)
{
    TestContext t;
    const QString note = "He said \"cut it\", then\r\nleft";
    addRecord(*t.db, {{"Surveyor", "SMITH"}, {"Date_Evaluated", "2007-03-05 14:20:00"}, {"StreetNum", "10"},
                      {"Latitude", QVariant()}, {"Longitude", 44.5}, {"Tree_ID", 7}, {"Species", "ÉRABLE"},
                      {"DBH", 12}, {"TrunkDecay_Pct", 40}, {"Hazard_Rating", 9}, {"ReinspectYear", "2009"},
                      {"CorrectiveActions", "3,9"}, {"Note", note}});
    // An empty text in a number column: the file's engine keeps one as it
    // was written, the server holds none (NULL there).
    const QVariant emptyNumber = onServer() ? QVariant() : QVariant("");
    addRecord(*t.db, {{"Date_Evaluated", "2007-03-06 09:00:00"}, {"Latitude", emptyNumber}, {"Longitude", -71.25},
                      {"Note", QVariant()}, {"Site", ""}, {"DBH", QVariant()}});
    addRecord(*t.db, {{"Date_Evaluated", "2007-04-01 00:00:00"}}); // after the period

    const QString path = t.dir.filePath("trees.csv");
    NullProgress progress;
    const CsvExportResult result = exportSurveyCsv(*t.db, {Spring2007, path}, progress);
    EXPECT_EQ(result.records, 2);

    const std::vector<QStringList> rows = readWithPython(path);
    ASSERT_EQ(rows.size(), 3u);
    for (const QStringList& row : rows)
        EXPECT_EQ(row.size(), 44);
    EXPECT_EQ(rows[0], surveyCsvTitles());
    EXPECT_EQ(rows[0].at(1), "Date");
    EXPECT_EQ(rows[0].at(12), "Obstruct-Visual");
    EXPECT_EQ(rows[0].at(43), "Note");
    const QStringList& first = rows[1];
    EXPECT_EQ(first.at(0), "SMITH");
    EXPECT_EQ(first.at(1), "03/05/2007");
    EXPECT_EQ(first.at(5), " ") << "no latitude";
    EXPECT_EQ(first.at(6), "44.5");
    EXPECT_EQ(first.at(7), "7");
    EXPECT_EQ(first.at(9), "ÉRABLE");
    EXPECT_EQ(first.at(10), "12");
    EXPECT_EQ(first.at(12), "OBSTRUCTIONS_VISUAL");
    EXPECT_EQ(first.at(13), "OBSTRUCTIONS_PHYSICAL");
    EXPECT_EQ(first.at(27), "40");
    EXPECT_EQ(first.at(39), "9");
    EXPECT_EQ(first.at(42), "3,9");
    EXPECT_EQ(first.at(43), note);
    EXPECT_EQ(rows[2].at(5), " ") << "an empty latitude";
    EXPECT_EQ(rows[2].at(6), "-71.25");
    EXPECT_EQ(rows[2].at(10), "#NULL#");
    EXPECT_EQ(rows[2].at(43), "#NULL#");

    // The bytes: texts quoted, numbers and #NULL# bare, CR LF after every
    // line, no byte-order mark.
    const QByteArray bytes = fileBytes(path);
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.startsWith("\"Surveyor\",\"Date\",\"Risk Zone\",\"Street #\","));
    EXPECT_TRUE(bytes.endsWith(",#NULL#\r\n"));
    EXPECT_TRUE(bytes.contains("\r\n\"SMITH\",\"03/05/2007\",\"RISKZONE\",\"10\",\"STREETNAME\",\" \",44.5,7,"));
    EXPECT_TRUE(bytes.contains(",\"3,9\",\"He said \"\"cut it\"\", then\r\nleft\"\r\n"));
    EXPECT_TRUE(bytes.contains(",\"\",")) << "an empty text is two quotes";
    EXPECT_TRUE(bytes.contains("\"\xC3\x89RABLE\"")) << "in the system's code page, UTF-8";
    EXPECT_EQ(bytes.count("\r\n"), 4) << "three lines and the break inside the note";
    EXPECT_EQ(bytes.count('\n'), 4) << "no bare LF";
}

TEST(CsvExport, TakesTheWholeFirstAndLastDayOfThePeriod)
{
    TestContext t;
    const struct {
        const char* evaluated;
        bool inside;
    } cases[] = {
        {"2007-02-28 23:59:59", false}, {"2007-03-01 00:00:00", true}, {"2007-03-01 00:00:01", true},
        {"2007-03-31 23:59:59", true},  {"2007-04-01 00:00:00", false},
    };
    int id = 0;
    for (const auto& c : cases)
        addRecord(*t.db, {{"Date_Evaluated", c.evaluated}, {"Tree_ID", ++id}});
    const QString path = t.dir.filePath("period.csv");
    NullProgress progress;
    EXPECT_EQ(exportSurveyCsv(*t.db, {Spring2007, path}, progress).records, 3);
    const std::vector<QStringList> rows = readWithPython(path);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].at(7), "2");
    EXPECT_EQ(rows[3].at(7), "4");

    // One day: that day's records.
    EXPECT_EQ(exportSurveyCsv(*t.db, {{QDate(2007, 3, 1), QDate(2007, 3, 1)}, path}, progress).records, 2);
}

TEST(CsvExport, ForASpreadsheetIsUtf8WithAMarkAndStartsNoFormula)
{
    TestContext t;
    const QString hyperlink = "=HYPERLINK(\"http://example.com\",\"x\")";
    addRecord(*t.db, {{"Species", "Café near Łódź"}, {"Note", hyperlink}, {"StreetNum", "-5"}, {"Location", "+1"},
                      {"Desc_OtherRisk", "@SUM(A1)"}, {"Crown_Canker", "\t=1"}, {"Site", "a=b"},
                      {"Surveyor", " =x"}, {"Longitude", -71.25}, {"Hazard_Rating", -3}});
    const QString path = t.dir.filePath("sheet.csv");
    NullProgress progress;
    CsvExportOptions options{Spring2007, path};

    // Plain: the texts as stored, no mark.
    ASSERT_EQ(exportSurveyCsv(*t.db, options, progress).records, 1);
    EXPECT_FALSE(fileBytes(path).startsWith("\xEF\xBB\xBF"));
    std::vector<QStringList> rows = readWithPython(path);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].at(43), hyperlink);
    EXPECT_EQ(rows[1].at(3), "-5");

    options.forSpreadsheet = true;
    ASSERT_EQ(exportSurveyCsv(*t.db, options, progress).records, 1);
    const QByteArray bytes = fileBytes(path);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF\"Surveyor\",\"Date\","));
    EXPECT_TRUE(bytes.contains("\"Caf\xC3\xA9 near \xC5\x81\xC3\xB3" "d\xC5\xBA\"")) << "UTF-8";
    rows = readWithPython(path, "utf-8-sig");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], surveyCsvTitles());
    const QStringList& row = rows[1];
    EXPECT_EQ(row.at(9), "Café near Łódź");
    EXPECT_EQ(row.at(43), "'" + hyperlink);
    EXPECT_EQ(row.at(3), "'-5");
    EXPECT_EQ(row.at(8), "'+1");
    EXPECT_EQ(row.at(40), "'@SUM(A1)");
    EXPECT_EQ(row.at(14), "'\t=1");
    EXPECT_EQ(row.at(11), "a=b") << "only the first character counts";
    EXPECT_EQ(row.at(0), " =x");
    EXPECT_EQ(row.at(6), "-71.25") << "numbers stay numbers";
    EXPECT_EQ(row.at(39), "-3");
    EXPECT_EQ(row.at(1), "03/05/2007");
}

TEST(CsvExport, EveryRecordOnFileTakesThoseWithoutADate)
{
    TestContext t;
    addRecord(*t.db, {{"Tree_ID", 1}, {"Date_Evaluated", "2007-03-05 14:20:00"}});
    addRecord(*t.db, {{"Tree_ID", 2}, {"Date_Evaluated", QVariant()}});
    addRecord(*t.db, {{"Tree_ID", 3}, {"Date_Evaluated", "1999-12-31 23:59:59"}});
    const QString path = t.dir.filePath("all.csv");
    NullProgress progress;

    CsvExportOptions options{Spring2007, path};
    CsvExportResult result = exportSurveyCsv(*t.db, options, progress);
    EXPECT_EQ(result.records, 1);
    EXPECT_EQ(result.undated, 0);

    options.everyRecord = true;
    result = exportSurveyCsv(*t.db, options, progress);
    EXPECT_EQ(result.records, 3);
    EXPECT_EQ(result.undated, 1);
    const std::vector<QStringList> rows = readWithPython(path);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].at(7), "2");
    EXPECT_EQ(rows[2].at(1), "") << "no date: an empty Date";
    EXPECT_EQ(rows[3].at(1), "12/31/1999");
    EXPECT_TRUE(fileBytes(path).contains("\r\n\"SURVEYOR\",\"\",\"RISKZONE\""));

    EXPECT_EQ(undatedRecordsNote(0), "");
    EXPECT_EQ(undatedRecordsNote(1), "1 record has no evaluation date; its Date is empty.");
    EXPECT_EQ(undatedRecordsNote(2), "2 records have no evaluation date; their Date is empty.");
}

TEST(CsvExport, LeavesAnExistingFileAloneWhenNothingIsWritten)
{
    TestContext t;
    {
        Transaction transaction(*t.db);
        for (int i = 0; i < 1100; ++i)
            addRecord(*t.db, {{"Tree_ID", i}});
        transaction.commit();
    }
    const QString path = t.dir.filePath("old.csv");
    writeFile(path, "old contents\r\n");

    NullProgress progress;
    // No record in the period.
    EXPECT_EQ(exportSurveyCsv(*t.db, {{QDate(2001, 1, 1), QDate(2001, 12, 31)}, path}, progress).records, 0);
    EXPECT_EQ(fileBytes(path), "old contents\r\n");

    // Cancelled half way.
    ProgressRecorder recorder;
    recorder.cancelAt("Writing", 1000);
    const CsvExportResult cancelled = exportSurveyCsv(*t.db, {Spring2007, path}, recorder);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(fileBytes(path), "old contents\r\n");
    EXPECT_TRUE(recorder.stages().back().cancellable);

    // A folder that cannot hold the file: the error, and the old file stays.
    writeFile(t.dir.filePath("notafolder"), "x");
    for (const QString& target : {t.dir.filePath("missing/trees.csv"), t.dir.filePath("notafolder/trees.csv")}) {
        try {
            exportSurveyCsv(*t.db, {Spring2007, target}, progress);
            ADD_FAILURE() << "no error for " << target.toStdString();
        } catch (const CsvExportError& e) {
            EXPECT_NE(e.number(), 0);
            EXPECT_FALSE(e.description().isEmpty());
        }
    }
    // Nothing left behind beside the file.
    EXPECT_EQ(QDir(t.dir.path()).entryList(QDir::Files).size(), 3) << QDir(t.dir.path()).entryList(QDir::Files).join(' ').toStdString();

    // A whole run replaces it.
    EXPECT_EQ(exportSurveyCsv(*t.db, {Spring2007, path}, progress).records, 1100);
    EXPECT_EQ(readWithPython(path).size(), 1101u);
}

} // namespace

namespace {

TEST(CsvExport, ALinkPipeOrFolderInTheFilesPlaceIsRefusedAndLeftAlone)
{
    TestContext t;
    addRecord(*t.db, {{"Tree_ID", 1}});
    NullProgress progress;
    for (const auto& odd : oddEntryCases) {
        SCOPED_TRACE(odd.says);
        QTemporaryDir dir, elsewhere;
        const QString path = dir.filePath("trees.csv");
        const QString outside = elsewhere.filePath("KOLVA.MDB");
        makeOddEntry(odd.kind, path, outside);
        try {
            exportSurveyCsv(*t.db, {Spring2007, path}, progress);
            ADD_FAILURE() << "exported";
        } catch (const CsvExportError& e) {
            EXPECT_EQ(e.description(), QString("trees.csv ") + odd.says);
            EXPECT_NE(e.number(), 0);
        }
        expectOddEntryKept(odd.kind, path, outside);
        EXPECT_TRUE(leftTemporaryFiles(dir.path()).isEmpty());
    }
}

TEST(RowCursorTest, GivesEachValueAsStoredStraightFromTheEngine)
{
    // The file's engine, through its own library (the server's rows come
    // through the driver, as the exports above read them).
    KOLVA_SQLITE_FILE_ONLY();
    TestContext t;
    RowCursor row(*t.db, "SELECT NULL, ?, ?, ?, x'41', 'Ärger \"x\"' WHERE ? = 1", {qlonglong(1) << 40, 2.5, "text", 1});
    EXPECT_TRUE(row.direct());
    ASSERT_TRUE(row.next());
    EXPECT_EQ(row.kind(0), RowCursor::Kind::Null);
    EXPECT_EQ(row.kind(1), RowCursor::Kind::Integer);
    EXPECT_EQ(row.integer(1), qlonglong(1) << 40);
    EXPECT_EQ(row.kind(2), RowCursor::Kind::Real);
    EXPECT_EQ(row.real(2), 2.5);
    EXPECT_EQ(row.kind(3), RowCursor::Kind::Text);
    EXPECT_EQ(row.text(3), "text");
    EXPECT_EQ(row.kind(4), RowCursor::Kind::Text) << "a blob reads as text";
    EXPECT_EQ(row.text(5), QByteArrayView("\xC3\x84rger \"x\""));
    EXPECT_FALSE(row.next());
    EXPECT_THROW(RowCursor(*t.db, "SELECT * FROM NoSuchTable"), DbError);
}

} // namespace
