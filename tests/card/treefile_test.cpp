#include "card/treefile.h"
#include "store/dates.h"
#include "tests/card/cardtest.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

QStringList keptLines(const TreeFileLines& lines)
{
    return QStringList(lines.begin(), lines.end());
}

TEST(TreeFileReading, LinesEndInCrLfLfOrCrAlone)
{
    const struct {
        const char* name;
        QByteArray bytes;
        QStringList first;
    } cases[] = {
        {"CR LF", "a\r\nb\r\n\r\nd\r\n", {"a", "b", "", "d", ""}},
        {"LF", "a\nb\n\nd\n", {"a", "b", "", "d", ""}},
        {"CR alone", "a\rb\r\rd", {"a", "b", "", "d", ""}},
        {"no end on the last line", "a\r\nb", {"a", "b", "", "", ""}},
        {"blanks kept", "  a  \r\n\tb\r\n", {"  a  ", "\tb", "", "", ""}},
        {"empty file", "", {"", "", "", "", ""}},
        {"one line", "KOLVA", {"KOLVA", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        QString error;
        const auto lines = TreeFileReader::parse(c.bytes, &error);
        ASSERT_TRUE(lines) << c.name << ": " << error.toStdString();
        EXPECT_EQ(keptLines(*lines).mid(0, 5), c.first) << c.name;
    }
}

TEST(TreeFileReading, DecodesWindows1252)
{
    const auto lines = TreeFileReader::parse("Caf\xe9 O\x92Neil \x93" "big\x94\r\n", nullptr);
    ASSERT_TRUE(lines);
    EXPECT_EQ((*lines)[0], QString::fromUtf8("Café O\u2019Neil \u201cbig\u201d"));
}

TEST(TreeFileReading, KeepsFiftyLinesAndReadsNoFurtherThanTheFiftyFirst)
{
    QByteArrayList many;
    for (int i = 1; i <= 5000; ++i)
        many << "line " + QByteArray::number(i);
    // Past line 51 the file holds what would otherwise abandon it.
    many[51] = QByteArray(3 * 1024 * 1024, 'x');
    many[60] = QByteArray("bin\0ary", 7);
    QTemporaryDir dir;
    writeBytes(dir.filePath("many.tree"), joinLines(many));
    TreeFileReader reader;
    QString error;
    const auto lines = reader.read(dir.filePath("many.tree"), &error);
    ASSERT_TRUE(lines) << error.toStdString();
    EXPECT_EQ((*lines)[0], "line 1");
    EXPECT_EQ((*lines)[49], "line 50");

    // Line 51 is thrown away whatever it holds; line 50 is judged.
    const struct {
        const char* name;
        int line;
        QByteArray text;
        bool readable;
    } cases[] = {
        {"line 51 too long", 51, QByteArray(treefile::MaxLineBytes + 1, 'x'), true},
        {"line 51 with a NUL", 51, QByteArray("bin\0ary", 7), true},
        {"line 50 too long", 50, QByteArray(treefile::MaxLineBytes + 1, 'x'), false},
        {"line 50 with a NUL", 50, QByteArray("bin\0ary", 7), false},
    };
    for (const auto& c : cases) {
        QByteArrayList file = treeLines();
        file << "line 51" << "line 52";
        file[c.line - 1] = c.text;
        for (const QByteArray& eol : {QByteArray("\r\n"), QByteArray("\n")}) {
            writeBytes(dir.filePath("t.tree"), joinLines(file, eol));
            const auto read = reader.read(dir.filePath("t.tree"), &error);
            EXPECT_EQ(bool(read), c.readable) << c.name << ": " << error.toStdString();
            EXPECT_EQ(bool(TreeFileReader::parse(joinLines(file, eol), nullptr)), c.readable) << c.name;
        }
    }
}

TEST(TreeFileReading, GarbageAndOverlongLinesAbandonTheFile)
{
    QByteArrayList longAt30 = treeLines();
    longAt30[29] = QByteArray(treefile::MaxLineBytes + 1, 'x');
    QByteArrayList longestAllowed = treeLines();
    longestAllowed[42] = QByteArray(treefile::MaxLineBytes, 'x');
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 7919) % 256);
    const struct {
        const char* name;
        QByteArray bytes;
        bool readable;
        const char* why;
    } cases[] = {
        {"a line of megabytes without an end", QByteArray(4 * 1024 * 1024, 'A'), false, "longer than"},
        {"a line one byte too long", joinLines(longAt30), false, "line 30 is longer than"},
        {"the longest line allowed", joinLines(longestAllowed), true, ""},
        {"binary garbage", garbage, false, "NUL"},
        {"a NUL inside a line", joinLines(treeLines()).replace("MAIN ST", QByteArray("MAIN\0ST", 7)), false, "line 7"},
    };
    QTemporaryDir dir;
    TreeFileReader reader;
    for (const auto& c : cases) {
        writeBytes(dir.filePath("t.tree"), c.bytes);
        QString error;
        const auto lines = reader.read(dir.filePath("t.tree"), &error);
        EXPECT_EQ(bool(lines), c.readable) << c.name;
        EXPECT_TRUE(error.contains(QLatin1String(c.why))) << c.name << ": " << error.toStdString();
    }
    QString error;
    EXPECT_FALSE(reader.read(dir.filePath("missing.tree"), &error));
    EXPECT_TRUE(error.startsWith("cannot be opened")) << error.toStdString();
}

struct ValueCase {
    const char* name;
    int line;
    QByteArray text;
    const char* column;
    QVariant expected; // null: the file is abandoned
    const char* why = ""; // and the reason given
};

void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.name;
}

class TreeFileValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(TreeFileValues, ConvertOrAbandonTheFile)
{
    const ValueCase& c = GetParam();
    QByteArrayList file = treeLines();
    file[c.line - 1] = c.text;
    const auto lines = TreeFileReader::parse(joinLines(file), nullptr);
    ASSERT_TRUE(lines);
    QString error;
    const auto values = toSurveyValues(*lines, QDateTime(QDate(2008, 3, 4), QTime(9, 8, 7)), &error);
    if (c.expected.isNull()) {
        EXPECT_FALSE(values);
        EXPECT_EQ(error, QString::fromLatin1(c.why));
        return;
    }
    ASSERT_TRUE(values) << error.toStdString();
    int index = -1;
    for (size_t i = 0; i < surveyFields().size(); ++i)
        if (QLatin1String(surveyFields()[i].column) == QLatin1String(c.column))
            index = int(i);
    ASSERT_GE(index, 0);
    const QVariant value = (*values)[size_t(index)];
    EXPECT_EQ(value.toString(), c.expected.toString());
    const bool text = c.expected.typeId() == QMetaType::QString;
    EXPECT_EQ(value.typeId() == QMetaType::QString, text);
    if (text) {
        EXPECT_FALSE(value.toString().isNull()) << "an empty text, not a null";
    }
}

INSTANTIATE_TEST_SUITE_P(
    , TreeFileValues,
    ::testing::Values(
        ValueCase{"TreeIdWhole", 2, "1234", "Tree_ID", 1234},
        ValueCase{"TreeIdHalfDown", 2, "12.5", "Tree_ID", 12},
        ValueCase{"TreeIdHalfUp", 2, "13.5", "Tree_ID", 14},
        ValueCase{"TreeIdLargest", 2, "2147483647", "Tree_ID", 2147483647},
        ValueCase{"TreeIdBeyond32Bits", 2, "2147483648", "Tree_ID", {}, "Tree_ID 2147483648 is outside -2147483648 to 2147483647"},
        ValueCase{"TreeIdNotANumber", 2, "T-17", "Tree_ID", {}, "Tree_ID \"T-17\" is not a number"},
        ValueCase{"TreeIdEmpty", 2, "", "Tree_ID", {}, "Tree_ID (line 2) is empty"},
        ValueCase{"DbhHalfDown", 10, "12.5", "DBH", 12},
        ValueCase{"DbhHalfUp", 10, "13.5", "DBH", 14},
        ValueCase{"DbhEmptyIsZero", 10, "", "DBH", 0},
        ValueCase{"DbhBlankIsZero", 10, "   ", "DBH", 0},
        ValueCase{"DbhLargest", 10, "32767", "DBH", 32767},
        ValueCase{"DbhBeyond16Bits", 10, "32768", "DBH", {}, "DBH 32768 is outside -32768 to 32767"},
        ValueCase{"DbhHugeNumber", 10, "99999999999999999999999", "DBH", {}, "DBH 99999999999999999999999 is outside -32768 to 32767"},
        ValueCase{"DbhNotANumber", 10, "large", "DBH", {}, "DBH \"large\" is not a number"},
        ValueCase{"DbhBlanksAround", 10, " \t12 ", "DBH", 12},
        ValueCase{"DbhVerticalTabAfter", 10, "12\v", "DBH", {}, "DBH \"12<U+000B>\" is not a number"},
        ValueCase{"DbhNoBreakSpaceAfter", 10, "12\xa0", "DBH", {}, "DBH \"12<U+00A0>\" is not a number"},
        ValueCase{"TreeIdControlInside", 2, "4\x81" "2", "Tree_ID", {}, "Tree_ID \"4<U+0081>2\" is not a number"},
        ValueCase{"ShellEmptyIsZero", 25, "", "TrunkDecay_Shell", 0},
        ValueCase{"PctBeyond16Bits", 27, "-40000", "TrunkDecay_Pct", {}, "TrunkDecay_Pct -40000 is outside -32768 to 32767"},
        ValueCase{"RatingHalf", 39, "6.5", "Hazard_Rating", 6},
        ValueCase{"DateOnly", 4, "1/2/2008", "Date_Evaluated", "2008-01-02 00:00:00"},
        ValueCase{"Date24Hour", 4, "01/02/2008 14:20", "Date_Evaluated", "2008-01-02 14:20:00"},
        ValueCase{"DateAmPm", 4, "1/2/2008 2:20:00 PM", "Date_Evaluated", "2008-01-02 14:20:00"},
        ValueCase{"DateImpossible", 4, "2/30/2008", "Date_Evaluated", {}, "2/30/2008 is not a date"},
        ValueCase{"DateEmpty", 4, "", "Date_Evaluated", {}, "the date (line 4) is empty"},
        ValueCase{"DateIso", 4, "2008-01-02", "Date_Evaluated", {}, "2008-01-02 is not a date"},
        ValueCase{"DateNoBreakSpaceAfter", 4, "1/2/2008\xa0", "Date_Evaluated", {}, "1/2/2008<U+00A0> is not a date"},
        ValueCase{"DateControlAfter", 4, "1/2/2008 \x81", "Date_Evaluated", {}, "1/2/2008 <U+0081> is not a date"},
        ValueCase{"TextKeptWhole", 43, "  it's \"big\"; '' --  ", "Note", QString("  it's \"big\"; '' --  ")},
        ValueCase{"TextEmptyNotNull", 40, "", "Desc_OtherRisk", QString("")},
        ValueCase{"YearIsText", 41, "2010", "ReinspectYear", QString("2010")}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

TEST(TreeFileRecord, ImportTimeAndMissingLines)
{
    const auto lines = TreeFileReader::parse(joinLines({"x", "5", "ANNA", "1/2/2008"}), nullptr);
    ASSERT_TRUE(lines);
    const auto values = toSurveyValues(*lines, QDateTime(QDate(2008, 3, 4), QTime(9, 8, 7)), nullptr);
    ASSERT_TRUE(values);
    for (size_t i = 0; i < surveyFields().size(); ++i) {
        const SurveyField& field = surveyFields()[i];
        const QVariant& value = (*values)[i];
        const std::string column = field.column;
        EXPECT_TRUE(value.isValid()) << column;
        if (column == "Date_Added")
            EXPECT_EQ(value.toString(), "2008-03-04 09:08:07");
        else if (field.kind == SurveyField::Kind::Short)
            EXPECT_EQ(value.toInt(), 0) << column;
        else if (field.kind == SurveyField::Kind::Text && field.line > 3) {
            EXPECT_EQ(value.toString(), "") << column;
            EXPECT_FALSE(value.toString().isNull()) << column;
        }
    }
}

} // namespace

namespace {

TEST(TreeFileDates, ReadAsTheSharedDateReaderReadsThem)
{
    const char* const texts[] = {
        "1/2/2008", "01/02/2008 14:20", "1/2/2008 2:20:00 PM", "1/2/2008 2:20:00 pm", "12/31/2008 12:00 AM",
        "12/31/2008 12:00:59 PM", "1-2-2008", "1/2-08", "1/2/29", "1/2/30", " 1/2/2008 ", "1/2/2008  14:20  ",
        "1/2/2008 2:20PM", "2/29/2008", "2/30/2008", "2/29/2007", "13/1/2008", "0/1/2008", "1/0/2008",
        "1/2/0000", "1/2/208", "1/2/20081", "123/2/2008", "1/2/2008 24:00", "1/2/2008 13:00 PM", "1/2/2008 0:30 AM",
        "1/2/2008 2:5", "1/2/2008 2:60", "1/2/2008 2:20:60", "1/2/2008 2:20:", "1/2/2008T2:20", "1/2/2008 2:20 XM",
        "1/2/2008 2:20 P", "\t1/2/2008", "1/2/2008\t2:20", "2008-01-02", "Jan 2 2008", "", "  ", "1/2/2008 2:20 PM x",
    };
    for (const char* text : texts) {
        const std::optional<QDateTime> shared = parseUsDateTime(QString::fromLatin1(text));
        const QString expected = shared ? toDbDateTime(*shared) : QString();
        EXPECT_EQ(storedUsDateTime(QString::fromLatin1(text)), expected) << '"' << text << '"';
    }
    EXPECT_EQ(storedUsDateTime(u"1/2/2008 2:20:00 PM"), "2008-01-02 14:20:00");
    EXPECT_EQ(storedUsDateTime(u"2/30/2008"), "");
}

} // namespace
