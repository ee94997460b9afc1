#include "store/conversion.h"

#include "store/accessfile.h"
#include "store/database.h"
#include "store/kolvadb.h"
#include "tests/support/oddentries.h"
#include "store/localfiles.h"
#include "tests/support/progressrecorder.h"
#include "tests/support/testcontext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace kolva;
using namespace kolva::test;

namespace {

const QDateTime conversionTime(QDate(2024, 3, 5), QTime(10, 0));

// The rows of the Access fixture exactly as mdb-export prints them (C
// locale, default options); dates there are MM/DD/YY.
const char* const surveyCsv = R"(ID,Surveyor,Date_Evaluated,RiskZone,StreetNum,StreetName,Tree_ID,Location,Species,DBH,Site,Obstructions_Physical,Obstructions_Visual,Crown_Canker,Crown_Crack,Crown_Deadwood,Crown_Decay,Crown_Arch_1,Crown_Arch_2,Crown_Arch_3,WeakUnion,Trunk_Canker,Trunk_Crack,Trunk_Decay,TrunkDecay_Shell,TrunkDecay_Diam,TrunkDecay_Pct,Trunk_Arch_1,Trunk_Arch_2,Roots_Deep,Roots_Injury,Roots_Decay,Roots_Arch1,Roots_Arch2,Size_Defect,Prob_Failure,Prob_TargetImpact,OtherRisk,Hazard_Rating,Desc_OtherRisk,ReinspectYear,CorrectiveActions,Note,Date_Added,Utility_Conflict,Latitude,Longitude,Report_Flag
1,"J SMITH","06/14/07 09:35:00","DOWNTOWN","112","ELM ST",1001,"Front","ACRU-RED MAPLE",14,"1. Tree Lawn","0. None","1. Sign","0. None","0. None","2. Branch","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None",0,0,0,"0. None","0. None","0. None","0. None","0. None","0. None","0. None","1. Small","2. Medium","2. Medium","0. None",5,,"2010","5",,"06/14/07 16:02:11","0. None",42.360712,-71.058331,0
2,"M GARCIA","09/03/07 14:20:00","RESIDENTIAL NORTH","4507","OAK AVE",1002,"Side","QURU-NORTHERN RED OAK",31,"2. Median","0. None","0. None","0. None","0. None","2. Branch","1. Fungal","0. None","0. None","0. None","0. None","0. None","0. None","1. Fungal",4,30,45,"0. None","0. None","0. None","0. None","0. None","0. None","0. None","3. Large","3. High","3. High","1. Present",9,"Leans over bus stop","2008","3,9","Owner's request: ""save the tree"" if possible.","09/04/07 08:15:30","0. None",,,1
3,"O'NEIL P","04/22/08 10:05:00","PARKS","1","PARK DR",2001,"Rear","GLTR-HONEYLOCUST",8,"3. Park","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None",0,0,0,"0. None","0. None","0. None","0. None","0. None","0. None","0. None","1. Small","1. Low","1. Low","0. None",3,,"2011",,"Young tree, staked.","04/22/08 17:45:00","0. None",42.3496,-71.0746,0
4,"J SMITH","11/05/08 13:30:45","DOWNTOWN","77","MAIN ST",1003,"Front","ACRU-RED MAPLE",22,"1. Tree Lawn","2. Wires","0. None","0. None","2. Branch","0. None","0. None","0. None","0. None","0. None","1. Included Bark","0. None","0. None","0. None",0,0,0,"0. None","0. None","0. None","0. None","0. None","0. None","0. None","2. Medium","3. High","3. High","0. None",8,,"2009","6,7",,"11/06/08 07:58:02","1. Overhead Lines",42.3551,-71.0605,1
5,"M GARCIA","07/30/09 16:45:00","RESIDENTIAL NORTH","15","BIRCH LN",1004,"Front","GLTR-HONEYLOCUST",40,"1. Tree Lawn","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None","0. None","1. Fungal","0. None","1. Fungal",2,38,80,"0. None","0. None","0. None","0. None","1. Fungal","0. None","0. None","4. Very Large","4. Severe","4. Constant","1. Present",12,"Cavity at base, 50% loss","2009","3","Removal scheduled; notify owner.","07/31/09 09:00:00","0. None",,,0
)";

const struct {
    const char* table;
    const char* csv;
} listCsv[] = {
    {"Surveyors", "ID,Description\n1,\"J SMITH\"\n2,\"M GARCIA\"\n3,\"O'NEIL P\"\n"},
    {"Species", "ID,Description\n1,\"ACRU-RED MAPLE\"\n2,\"QURU-NORTHERN RED OAK\"\n3,\"GLTR-HONEYLOCUST\"\n"},
    {"RiskZone", "ID,Description\n1,\"DOWNTOWN\"\n2,\"RESIDENTIAL NORTH\"\n3,\"PARKS\"\n"},
    {"Risk_Rating", R"(Risk_Question_Num,Risk_Order,Description
1,-1,"Size of Defective Part "
1,1,"1. Small "
1,2,"2. Medium "
1,3,"3. Large "
1,4,"4. Very Large "
2,-1,"Probability of Failure "
2,1,"1. Low "
2,2,"2. Medium "
2,3,"3. High "
2,4,"4. Severe "
3,-1,"Probability of Target Impact "
3,1,"1. Low "
3,2,"2. Medium "
3,3,"3. High "
3,4,"4. Constant "
4,-1,"Other Risk Factors "
4,0,"0. None "
4,1,"1. Present "
)"},
    {"_Streets_Master", "StreetName,SendToPDA\n\"ELM ST\",1\n\"OAK AVE\",0\n\"MAIN ST\",1\n\"BIRCH LN\",0\n"},
    {"Streets_PDA", "StreetName\n\"ELM ST\"\n\"MAIN ST\"\n"},
    {"_tblCorrAction", R"(CA_Code,CA_Description
1,"Move Target"
2,"Limit Access"
3,"Remove Tree"
4,"Treat SGR"
5,"Prune Deadwood"
6,"Prune Weakwood"
7,"Prune Clear"
8,"Thin Crown"
9,"Reduce Height"
10,"Cable/Brace"
11,"Cvrt/Wildlife"
)"},
    {"_tblCosts", "ID,CA_TYPE,DBH_LowerLimit,DBH_UpperLimit,CA_Cost\n1,3,0,12,250.0000\n2,3,12,24,600.0000\n"
                  "3,3,24,99,1200.5000\n4,5,0,24,150.0000\n5,9,6,30,400.0000\n"},
};

struct CsvField {
    QString text;
    bool quoted = false;
};

// The header and rows of mdb-export's CSV.
QList<QList<CsvField>> parseCsv(const QString& csv)
{
    QList<QList<CsvField>> rows;
    QList<CsvField> row;
    CsvField field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const QChar c = csv[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
                field.text += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field.text += c;
            }
        } else if (c == '"') {
            inQuotes = field.quoted = true;
        } else if (c == ',' || c == '\n') {
            row.append(field);
            field = {};
            if (c == '\n') {
                rows.append(row);
                row.clear();
            }
        } else {
            field.text += c;
        }
    }
    return rows;
}

// "06/14/07 09:35:00" as stored: "2007-06-14 09:35:00".
QString isoFromExport(const QString& text)
{
    return QStringLiteral("20%1-%2-%3%4").arg(text.mid(6, 2), text.left(2), text.mid(3, 2), text.mid(8));
}

QByteArray sha256(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

QStringList folderContents(const QString& path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class ConversionTest : public ::testing::Test {
protected:
    ConversionTest() : dir(false) {}

    QString access() const { return dir.databasePath(); }

    // The fixture as KOLVA.MDB of the test folder, changed by patch.
    void placeFixture(const std::function<void(QByteArray&)>& patch = {})
    {
        QFile in(testDataPath("legacy_kolva.mdb"));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        if (patch)
            patch(bytes);
        QFile out(access());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }

    ConversionResult convert(const QString& target = {})
    {
        ConversionRequest request;
        request.accessPath = access();
        request.targetPath = target;
        request.now = conversionTime;
        request.user = QStringLiteral("arborist");
        return convertAccessDatabase(request, progress);
    }

    TempProgramDir dir;
    ProgressRecorder progress;
};

TEST_F(ConversionTest, EveryRowAndValueOfTheAccessFileIsCarriedOver)
{
    placeFixture();
    const QByteArray before = sha256(access());
    const ConversionResult result = convert();

    EXPECT_EQ(result.countLines(),
              QStringList({"Survey records: 5 of 5", "Surveyors: 3 of 3", "Species: 3 of 3", "Risk zones: 3 of 3",
                           "Risk questions: 18 of 18", "Streets: 4 of 4", "Streets for the card: 2 of 2",
                           "Corrective actions: 11 of 11", "Cost table: 5 of 5"}));
    EXPECT_TRUE(result.notes.isEmpty()) << result.notes.join('\n').toStdString();
    const QString kept = dir.filePath("KOLVA.MDB.access-20240305");
    EXPECT_EQ(result.keptAccessPath, kept);
    EXPECT_EQ(sha256(kept), before) << "the Access file is kept byte for byte";
    EXPECT_EQ(folderContents(dir.path()),
              QStringList({"KOLVA.MDB", "KOLVA.MDB.access-20240305", "KOLVA.MDB.conversion.log"}));

    auto db = openKolvaDatabase(access());
    EXPECT_EQ(schemaVersion(*db), CurrentSchemaVersion);

    // The survey records, field by field, with the type each value is stored as.
    const auto survey = parseCsv(QString::fromUtf8(surveyCsv));
    const QList<CsvField> header = survey[0];
    ASSERT_EQ(header.size(), 48);
    for (int r = 1; r < survey.size(); ++r) {
        for (int c = 0; c < header.size(); ++c) {
            const QString column = header[c].text;
            const CsvField& field = survey[r][c];
            QSqlQuery q = db->query(QStringLiteral("SELECT typeof(%1), %1 FROM _Archived_SurveyData WHERE ID = ?").arg(column),
                                    {r});
            ASSERT_TRUE(q.next());
            const QString type = q.value(0).toString();
            const QVariant stored = q.value(1);
            const std::string where = QStringLiteral("record %1, %2").arg(r).arg(column).toStdString();
            if (r == 3 && column == "CorrectiveActions") {
                EXPECT_EQ(type, "text") << "a zero-length text stays apart from NULL: " << where;
                EXPECT_EQ(stored.toString(), "");
            } else if (field.text.isEmpty() && !field.quoted) {
                EXPECT_EQ(type, "null") << where;
            } else if (column.startsWith("Date_")) {
                EXPECT_EQ(type, "text") << where;
                EXPECT_EQ(stored.toString(), isoFromExport(field.text)) << where;
            } else if (field.quoted) {
                EXPECT_EQ(type, "text") << where;
                EXPECT_EQ(stored.toString(), field.text) << where;
            } else if (column == "Latitude" || column == "Longitude") {
                EXPECT_EQ(type, "real") << where;
                EXPECT_EQ(stored.toDouble(), field.text.toDouble()) << where;
            } else {
                EXPECT_EQ(type, "integer") << where;
                EXPECT_EQ(stored.toLongLong(), field.text.toLongLong()) << where;
            }
        }
    }

    // The lists, row by row in the order of the Access file.
    for (const auto& list : listCsv) {
        const auto rows = parseCsv(QString::fromUtf8(list.csv));
        QStringList columns;
        for (const CsvField& f : rows[0])
            columns << f.text;
        QSqlQuery q = db->query(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(columns.join(", "), list.table));
        int r = 1;
        for (; q.next(); ++r) {
            ASSERT_LT(r, rows.size()) << list.table;
            for (int c = 0; c < columns.size(); ++c) {
                const std::string where = QStringLiteral("%1 row %2 %3").arg(list.table).arg(r).arg(columns[c]).toStdString();
                if (rows[r][c].quoted)
                    EXPECT_EQ(q.value(c).toString(), rows[r][c].text) << where;
                else
                    EXPECT_EQ(q.value(c).toDouble(), rows[r][c].text.toDouble()) << where;
            }
        }
        EXPECT_EQ(r, rows.size()) << list.table;
    }

    // Tables the Access file does not have keep what KOLVA is supplied with.
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _tblMobilization").toInt(), 1);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Imported_Files").toInt(), 0);
    // Each record's history begins with its conversion.
    QSqlQuery history = db->query("SELECT Survey_ID, Action, New_Value, Changed_At, Changed_By FROM _Survey_History ORDER BY ID");
    for (int id = 1; id <= 5; ++id) {
        ASSERT_TRUE(history.next());
        EXPECT_EQ(history.value(0).toInt(), id);
        EXPECT_EQ(history.value(1).toString(), "converted");
        EXPECT_EQ(history.value(2).toString(), "KOLVA.MDB");
        EXPECT_EQ(history.value(3).toString(), "2024-03-05 10:00:00");
        EXPECT_EQ(history.value(4).toString(), "arborist");
    }
    EXPECT_FALSE(history.next());
    // A record added later does not take the ID of a converted one.
    db->exec("INSERT INTO _Archived_SurveyData (Surveyor) VALUES ('NEW')");
    EXPECT_EQ(db->lastInsertId(), 6);

    QFile log(result.logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString logText = QString::fromUtf8(log.readAll());
    for (const QString& line : result.countLines())
        EXPECT_TRUE(logText.contains(line + '\n')) << line.toStdString();
    EXPECT_TRUE(logText.contains("KOLVA.MDB.access-20240305"));
    EXPECT_TRUE(result.summary().contains("Survey records: 5 of 5\nSurveyors: 3 of 3"));
}

TEST_F(ConversionTest, ValuesDoNotDependOnTheUsersLocale)
{
    // libmdb's own texts follow LC_NUMERIC and LC_TIME (a decimal comma,
    // day.month.year in German); the conversion reads the stored bytes.
    QTemporaryDir locales;
    QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", locales.filePath("de_DE.UTF-8")});
    qputenv("LOCPATH", locales.path().toLocal8Bit());
    const QByteArray previous = setlocale(LC_ALL, nullptr);
    const bool german = setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    if (!german)
        GTEST_SKIP() << "no de_DE.UTF-8 locale could be made here";
    placeFixture();
    convert();
    setlocale(LC_ALL, previous.constData());
    auto db = Database::open(access());
    EXPECT_EQ(db->scalar("SELECT Longitude FROM _Archived_SurveyData WHERE ID = 1").toDouble(), -71.058331);
    EXPECT_EQ(db->scalar("SELECT Date_Evaluated FROM _Archived_SurveyData WHERE ID = 4").toString(), "2008-11-05 13:30:45");
    EXPECT_EQ(db->scalar("SELECT CA_Cost FROM _tblCosts WHERE ID = 3").toDouble(), 1200.5);
}

TEST_F(ConversionTest, ANewFileElsewhereLeavesTheAccessFileInPlace)
{
    placeFixture();
    const QByteArray before = sha256(access());
    const QString target = dir.filePath("new/KOLVA.MDB");
    ASSERT_TRUE(QDir(dir.path()).mkdir("new"));
    const ConversionResult result = convert(target);
    EXPECT_TRUE(result.keptAccessPath.isEmpty());
    EXPECT_EQ(sha256(access()), before);
    EXPECT_EQ(folderContents(dir.path()), QStringList({"KOLVA.MDB"}));
    EXPECT_EQ(Database::open(target)->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(), 5);

    // A file already there is never replaced.
    EXPECT_THROW(convert(target), ConversionFailed);
}

TEST_F(ConversionTest, AnEarlierKeptFileOfTheSameDayIsNotOverwritten)
{
    placeFixture();
    {
        QFile earlier(dir.filePath("KOLVA.MDB.access-20240305"));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    const ConversionResult result = convert();
    EXPECT_EQ(result.keptAccessPath, dir.filePath("KOLVA.MDB.access-20240305-2"));
    QFile earlier(dir.filePath("KOLVA.MDB.access-20240305"));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier");
}

// Where a value lies in the fixture's bytes.
qsizetype findDouble(const QByteArray& bytes, double value)
{
    for (qsizetype i = 0; i + 8 <= bytes.size(); ++i) {
        double d;
        std::memcpy(&d, bytes.constData() + i, 8);
        if (d == value)
            return i;
    }
    return -1;
}

void putDouble(QByteArray& bytes, double old, double replacement)
{
    const qsizetype at = findDouble(bytes, old);
    ASSERT_GE(at, 0);
    std::memcpy(bytes.data() + at, &replacement, 8);
}

// Record 1's Date_Evaluated, 2007-06-14 09:35:00, as Access stores it.
const double record1Evaluated = 39247.0 + (9 * 3600 + 35 * 60) / 86400.0;
const double record4Added = 39758.0 + (7 * 3600 + 58 * 60 + 2) / 86400.0;

TEST_F(ConversionTest, DatesOutside1900To2100AreKeptAndNamed)
{
    placeFixture([](QByteArray& bytes) {
        // 1 June 1850 at noon: before 30 December 1899 the day counts
        // backwards while the time still counts forwards.
        const double days = double(QDate(1899, 12, 30).daysTo(QDate(1850, 6, 1)));
        putDouble(bytes, record1Evaluated, days - 0.5);
        putDouble(bytes, record4Added, double(QDate(1899, 12, 30).daysTo(QDate(2150, 1, 2))) + 0.25);
    });
    const ConversionResult result = convert();
    auto db = Database::open(access());
    EXPECT_EQ(db->scalar("SELECT Date_Evaluated FROM _Archived_SurveyData WHERE ID = 1").toString(), "1850-06-01 12:00:00");
    EXPECT_EQ(db->scalar("SELECT Date_Added FROM _Archived_SurveyData WHERE ID = 4").toString(), "2150-01-02 06:00:00");
    EXPECT_EQ(result.notes,
              QStringList({"Survey records, the row with ID 1: Date_Evaluated is 1850-06-01 12:00:00, outside 1900 to "
                           "2100; it is kept as stored.",
                           "Survey records, the row with ID 4: Date_Added is 2150-01-02 06:00:00, outside 1900 to "
                           "2100; it is kept as stored."}));
}

TEST_F(ConversionTest, ASurveyTableWithAnExtraAndAMissingColumnIsConvertedAndSaysSo)
{
    // The column Latitude renamed to Latitudx: one column KOLVA does not
    // know, one it misses.
    placeFixture([](QByteArray& bytes) {
        const QByteArray name = QByteArray("L\0a\0t\0i\0t\0u\0d\0e\0", 16);
        const qsizetype at = bytes.indexOf(name);
        ASSERT_GE(at, 0);
        bytes[at + 14] = 'x';
    });
    const ConversionResult result = convert();
    EXPECT_EQ(result.countLines().first(), "Survey records: 5 of 5");
    EXPECT_EQ(result.notes, QStringList({"Survey records: the Access file has no column Latitude; it is left empty.",
                                         "Survey records: the column Latitudx of the Access file is not part of "
                                         "KOLVA's data and was left behind."}));
    auto db = Database::open(access());
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Latitude IS NULL").toInt(), 5);
    EXPECT_EQ(db->scalar("SELECT Longitude FROM _Archived_SurveyData WHERE ID = 1").toDouble(), -71.058331);
}

TEST_F(ConversionTest, AStreetListedTwiceBecomesOneStreetTickedIfEitherWas)
{
    // OAK AVE (not for the card) renamed MAIN ST (for the card) in the
    // street list of the Access file, page 47.
    placeFixture([](QByteArray& bytes) {
        const qsizetype at = bytes.indexOf("OAK AVE", 47 * 4096);
        ASSERT_EQ(at / 4096, 47);
        bytes.replace(at, 7, "MAIN ST");
    });
    const ConversionResult result = convert();
    EXPECT_TRUE(result.countLines().contains("Streets: 3 of 4")) << result.countLines().join('\n').toStdString();
    EXPECT_EQ(result.notes, QStringList({"Streets: MAIN ST is listed twice; the two are kept as one street."}));
    auto db = Database::open(access());
    QSqlQuery q = db->query("SELECT StreetName, SendToPDA FROM _Streets_Master ORDER BY rowid");
    QStringList streets;
    while (q.next())
        streets << q.value(0).toString() + "=" + q.value(1).toString();
    EXPECT_EQ(streets, QStringList({"ELM ST=1", "MAIN ST=1", "BIRCH LN=0"}));
}

struct BadInput {
    const char* name;
    std::function<void(QByteArray&)> patch;
    const char* says;
};

void PrintTo(const BadInput& c, std::ostream* os)
{
    *os << c.name;
}

class BadAccessFile : public ConversionTest, public ::testing::WithParamInterface<BadInput> {};

TEST_P(BadAccessFile, FailsSayingWhatAndLeavesTheFileAsItWas)
{
    placeFixture(GetParam().patch);
    const QByteArray before = sha256(access());
    try {
        convert();
        FAIL() << "converted";
    } catch (const ConversionFailed& failed) {
        EXPECT_TRUE(failed.message().contains(GetParam().says)) << failed.message().toStdString();
        EXPECT_TRUE(failed.message().contains("The Access file has not been changed."));
        EXPECT_TRUE(failed.message().contains(QDir::toNativeSeparators(access())));
    }
    EXPECT_EQ(sha256(access()), before);
    EXPECT_EQ(folderContents(dir.path()), QStringList({"KOLVA.MDB"})) << "no temporary file is left";
}

const qsizetype surveyPage = 27 * 4096; // the data page of the survey records

// Where the first row of a data page starts, from the page's row table.
int rowStart(const QByteArray& b, qsizetype page)
{
    return (uchar(b[page + 14]) | uchar(b[page + 15]) << 8) & 0x1fff;
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadAccessFile,
    ::testing::Values(
        BadInput{"truncated", [](QByteArray& b) { b.truncate(surveyPage); }, "damaged or cut short"},
        BadInput{"truncated_after_the_tables",
                 [](QByteArray& b) {
                     // The survey records' page cut out of the middle.
                     b.remove(surveyPage, 4096);
                 },
                 "damaged"},
        BadInput{"row_count_damaged",
                 [](QByteArray& b) {
                     b[surveyPage + 12] = char(0xff);
                     b[surveyPage + 13] = char(0x7f);
                 },
                 "is damaged"},
        BadInput{"row_layout_damaged",
                 [](QByteArray& b) {
                     // The first row's column count, at the start of the row.
                     const int start = (uchar(b[surveyPage + 14]) | uchar(b[surveyPage + 15]) << 8) & 0x1fff;
                     b[surveyPage + start] = char(0xff);
                     b[surveyPage + start + 1] = char(0x7f);
                 },
                 "is damaged: row 1"},
        BadInput{"null_mask_damaged",
                 [](QByteArray& b) {
                     // The first row (at the page's end) says its Surveyor
                     // (column 1) is empty while its text table holds one.
                     const int rowColumns = uchar(b[surveyPage + rowStart(b, surveyPage)]);
                     b[surveyPage + 4095 - (rowColumns + 7) / 8 + 1] &= char(~0x02);
                 },
                 "is damaged: row 1 marks the value of Surveyor as empty but holds one"},
        BadInput{"text_count_damaged",
                 [](QByteArray& b) {
                     // The first row's count of text values set to 0: libmdb
                     // would read every text of it as NULL.
                     const int rowColumns = uchar(b[surveyPage + rowStart(b, surveyPage)]);
                     const int at = surveyPage + 4095 - (rowColumns + 7) / 8 - 1;
                     b[at] = 0;
                     b[at + 1] = 0;
                 },
                 "is damaged: row 1 has a value of Surveyor that cannot be found"},
        BadInput{"date_Access_cannot_hold",
                 [](QByteArray& b) { putDouble(b, record1Evaluated, 1e300); },
                 "the row with ID 1 of the table _Archived_SurveyData: the value of Date_Evaluated cannot be converted"},
        BadInput{"not_an_access_file", [](QByteArray& b) { b.fill('\x7f', 8192); }, "not a Microsoft Access database"},
        BadInput{"empty", [](QByteArray& b) { b.clear(); }, "not a Microsoft Access database"}));

TEST_F(ConversionTest, AnAccessFileOfAnotherProgramIsRefused)
{
    ASSERT_TRUE(QFile::copy(testDataPath("species_zones.mdb"), access()));
    const QByteArray before = sha256(access());
    try {
        convert();
        FAIL() << "converted";
    } catch (const ConversionFailed& failed) {
        EXPECT_TRUE(failed.message().contains("holds no table _Archived_SurveyData")) << failed.message().toStdString();
    }
    EXPECT_EQ(sha256(access()), before);
    EXPECT_THROW(ConversionTest::convert(), ConversionFailed) << "a second try fails the same way";
    EXPECT_EQ(folderContents(dir.path()), QStringList({"KOLVA.MDB"}));
}

TEST_F(ConversionTest, CancellingLeavesNothingBehind)
{
    placeFixture();
    const QByteArray before = sha256(access());
    progress.cancelAt("Copying surveyors");
    EXPECT_THROW(convert(), ConversionCancelled);
    EXPECT_EQ(sha256(access()), before);
    EXPECT_EQ(folderContents(dir.path()), QStringList({"KOLVA.MDB"}));
    EXPECT_TRUE(progress.stages().front().cancellable);
}

TEST_F(ConversionTest, TheAccessFileIsRenamedOnlyAfterTheNewDatabasePassedItsCheck)
{
    // Stopped at a log that cannot be written (written after the check), or
    // by Cancel at the check (the recorder stays cancelled, so last): KOLVA.MDB is the Access file, byte for byte and the
    // same file, and it has no second name.
    const struct {
        const char* what;
        std::function<void()> prepare;
        bool cancelled;
    } cases[] = {
        {"a log that cannot be written",
         [this] { ASSERT_TRUE(QDir().mkpath(access() + ".conversion.log")); }, false},
        {"Cancel while the new database is checked",
         [this] { progress.cancelAt("Checking the new database"); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        placeFixture();
        QFile original(access());
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        struct stat was {};
        ASSERT_EQ(::stat(QFile::encodeName(access()).constData(), &was), 0);
        c.prepare();
        if (c.cancelled)
            EXPECT_THROW(convert(), ConversionCancelled);
        else
            EXPECT_THROW(convert(), ConversionFailed);
        QFile after(access());
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_TRUE(after.readAll() == before) << "KOLVA.MDB changed";
        struct stat now {};
        ASSERT_EQ(::stat(QFile::encodeName(access()).constData(), &now), 0);
        EXPECT_EQ(now.st_ino, was.st_ino) << "KOLVA.MDB was replaced";
        EXPECT_EQ(now.st_nlink, nlink_t(1)) << "the Access file was given a second name";
        const QStringList kept = QDir(dir.path()).entryList({"KOLVA.MDB.access-*"}, QDir::AllEntries | QDir::Hidden);
        EXPECT_TRUE(kept.isEmpty()) << kept.join(", ").toStdString();
        EXPECT_TRUE(progress.labels().contains("Checking the new database")) << "stopped before the check";
    }
}

TEST_F(ConversionTest, ALinkPipeOrFolderInTheLogsPlaceStopsTheConversionAndIsLeftAlone)
{
    for (const auto& odd : oddEntryCases) {
        SCOPED_TRACE(odd.says);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        placeFixture();
        const QByteArray before = sha256(access());
        QTemporaryDir elsewhere;
        const QString outside = elsewhere.filePath("other.log");
        const QString log = access() + ".conversion.log";
        makeOddEntry(odd.kind, log, outside);
        try {
            convert();
            ADD_FAILURE() << "converted";
        } catch (const ConversionFailed& failed) {
            EXPECT_TRUE(failed.message().contains("KOLVA.MDB.conversion.log " + QString(odd.says)))
                << failed.message().toStdString();
        }
        EXPECT_EQ(sha256(access()), before);
        expectOddEntryKept(odd.kind, log, outside);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                             QDir::Name),
                  QStringList({"KOLVA.MDB", "KOLVA.MDB.conversion.log"}))
            << "nothing else left in the folder";
    }
}

TEST_F(ConversionTest, TheNewDatabaseKeepsTheOwnerGroupAndModeOfTheAccessFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user takes root";
    placeFixture();
    const QByteArray path = QFile::encodeName(access());
    ASSERT_EQ(::chown(path.constData(), 4321, 8765), 0);
    ASSERT_EQ(::chmod(path.constData(), 0660), 0);
    const ConversionResult result = convert();
    struct stat st {};
    ASSERT_EQ(::stat(path.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_TRUE(result.notes.isEmpty()) << result.notes.join('\n').toStdString();
    EXPECT_EQ(Database::open(access())->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(), 5);
}

// The states a conversion killed half-way can leave, and what the next start
// makes of them.
class InterruptedConversion : public ConversionTest {
protected:
    void touch(const QString& name)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("left behind");
    }
};

TEST_F(InterruptedConversion, KilledAfterTheAccessFileGotItsSecondNameIsUndone)
{
    placeFixture();
    const QByteArray before = sha256(access());
    const QString kept = dir.filePath("KOLVA.MDB.access-20240305");
    ASSERT_TRUE(::link(QFile::encodeName(access()).constData(), QFile::encodeName(kept).constData()) == 0);
    touch("KOLVA.MDB.converting-k3x9a0b1");
    touch("KOLVA.MDB.converting-k3x9a0b1-journal");
    touch("KOLVA.MDB.partial");

    const QString said = recoverInterruptedConversion(access());
    EXPECT_TRUE(said.contains("was interrupted before the new database was put in place")) << said.toStdString();
    EXPECT_TRUE(said.contains("KOLVA.MDB.access-20240305"));
    EXPECT_TRUE(said.contains("KOLVA.MDB.converting-k3x9a0b1, KOLVA.MDB.converting-k3x9a0b1-journal")
                || said.contains("KOLVA.MDB.converting-k3x9a0b1-journal, KOLVA.MDB.converting-k3x9a0b1"))
        << said.toStdString();
    EXPECT_EQ(folderContents(dir.path()), QStringList({"KOLVA.MDB"}));
    EXPECT_EQ(sha256(access()), before);
    EXPECT_TRUE(recoverInterruptedConversion(access()).isEmpty()) << "nothing more to do";

    // And it converts as if nothing had happened.
    EXPECT_EQ(convert().keptAccessPath, kept);
}

TEST_F(InterruptedConversion, KilledBetweenTwoRenamesGetsTheAccessFileBack)
{
    placeFixture();
    const QByteArray before = sha256(access());
    ASSERT_TRUE(QFile::rename(access(), dir.filePath("KOLVA.MDB.access-20240305")));
    touch("KOLVA.MDB.converting-q1w2e3r4");
    const QString said = recoverInterruptedConversion(access());
    EXPECT_TRUE(said.contains("was interrupted while the files were renamed")) << said.toStdString();
    EXPECT_EQ(folderContents(dir.path()), QStringList({"KOLVA.MDB"}));
    EXPECT_EQ(sha256(access()), before);
}

TEST_F(InterruptedConversion, ARunningConversionAndAFinishedOneAreLeftAlone)
{
    placeFixture();
    const QString kept = dir.filePath("KOLVA.MDB.access-20240305");
    ASSERT_TRUE(::link(QFile::encodeName(access()).constData(), QFile::encodeName(kept).constData()) == 0);
    {
        // A conversion between its two steps holds the Access file.
        FileLock running;
        ASSERT_TRUE(running.tryLock(access()));
        ScratchFile itsNewDatabase(access(), ".converting");
        ASSERT_TRUE(itsNewDatabase.isOpen());
        EXPECT_TRUE(recoverInterruptedConversion(access()).isEmpty());
        EXPECT_TRUE(QFile::exists(kept));
        EXPECT_TRUE(QFile::exists(itsNewDatabase.path()));
        running.release();
        // Its temporary file is still held: only the second name goes.
        recoverInterruptedConversion(access());
        EXPECT_TRUE(QFile::exists(itsNewDatabase.path()));
    }
    EXPECT_FALSE(QFile::exists(kept));

    // A finished conversion: the kept file is another file than the database.
    const ConversionResult done = convert();
    const QByteArray converted = sha256(access());
    EXPECT_TRUE(recoverInterruptedConversion(access()).isEmpty());
    EXPECT_EQ(sha256(access()), converted);
    EXPECT_TRUE(QFile::exists(done.keptAccessPath));
}

// A small file system of its own, for a full disk and a folder that cannot
// be written. Needs the right to mount (the test machines run as root).
class SmallDisk : public ConversionTest {
protected:
    bool mount(int kilobytes)
    {
        mountPoint = dir.filePath("disk");
        QDir().mkpath(mountPoint);
        mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", QStringLiteral("size=%1k").arg(kilobytes), "tmpfs",
                                              mountPoint}) == 0;
        return mounted;
    }
    ~SmallDisk() override
    {
        if (mounted)
            QProcess::execute("umount", {mountPoint});
    }
    QString mountPoint;
    bool mounted = false;
};

TEST_F(SmallDisk, AFullDiskLeavesTheAccessFileAsItWas)
{
    if (!mount(256 + 48))
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString path = QDir(mountPoint).filePath("KOLVA.MDB");
    ASSERT_TRUE(QFile::copy(testDataPath("legacy_kolva.mdb"), path));
    const QByteArray before = sha256(path);
    ConversionRequest request{path, {}, conversionTime, "arborist"};
    try {
        convertAccessDatabase(request, progress);
        FAIL() << "converted";
    } catch (const ConversionFailed& failed) {
        EXPECT_TRUE(failed.message().contains("full")) << failed.message().toStdString();
    }
    EXPECT_EQ(sha256(path), before);
    EXPECT_EQ(folderContents(mountPoint), QStringList({"KOLVA.MDB"}));
}

TEST_F(SmallDisk, AFolderThatCannotBeWrittenLeavesTheAccessFileAsItWas)
{
    if (!mount(4096))
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString path = QDir(mountPoint).filePath("KOLVA.MDB");
    ASSERT_TRUE(QFile::copy(testDataPath("legacy_kolva.mdb"), path));
    ASSERT_EQ(QProcess::execute("mount", {"-o", "remount,ro", mountPoint}), 0);
    ConversionRequest request{path, {}, conversionTime, "arborist"};
    try {
        convertAccessDatabase(request, progress);
        FAIL() << "converted";
    } catch (const ConversionFailed& failed) {
        EXPECT_TRUE(failed.message().contains("could not be made in the folder")) << failed.message().toStdString();
    }
    EXPECT_EQ(sha256(path), sha256(testDataPath("legacy_kolva.mdb")));
    EXPECT_EQ(folderContents(mountPoint), QStringList({"KOLVA.MDB"}));
}

TEST(AccessDate, StoredDaysAndFractionsBecomeIsoText)
{
    const struct {
        double stored;
        const char* text;
    } cases[] = {
        {0.0, "1899-12-30 00:00:00"},     {1.0, "1899-12-31 00:00:00"},
        {-1.25, "1899-12-29 06:00:00"},   {2.0 - 1e-9, "1900-01-01 00:00:00"}, // rounds up into the next day
        {-657434.0, "0100-01-01 00:00:00"}, {2958465.999988426, "9999-12-31 23:59:59"},
        // The first day Access holds, after midnight: the time counts forward.
        {-657434.5, "0100-01-01 12:00:00"}, {-657434.999, "0100-01-01 23:58:34"},
        {2958465.9999999, "9999-12-31 23:59:59"}, // never rounded into the year 10000
    };
    for (const auto& c : cases)
        EXPECT_EQ(accessDateText(c.stored).value_or("none"), c.text) << c.stored;
    EXPECT_FALSE(accessDateText(-657435.0));
    EXPECT_FALSE(accessDateText(-657435.5));
    EXPECT_FALSE(accessDateText(2958466.0));
    EXPECT_FALSE(accessDateText(std::nan("")));
}

} // namespace
