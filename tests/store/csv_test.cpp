// The one CSV reader and writer: records and fields as spreadsheets write
// them, the two encodings files come in, and fields written back.

#include "store/csv.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

using Records = std::vector<QStringList>;

TEST(CsvReading, RecordsAndFields)
{
    const struct {
        const char* name;
        QByteArray bytes;
        Records records;
    } cases[] = {
        {"empty file", "", {}},
        {"plain, CR LF", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
        {"LF only", "a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},
        {"CR only", "a,b\rc,d\r", {{"a", "b"}, {"c", "d"}}},
        {"mixed line ends", "a\r\nb\nc\rd", {{"a"}, {"b"}, {"c"}, {"d"}}},
        {"last line without line end", "a,b\r\nc", {{"a", "b"}, {"c"}}},
        {"empty fields", ",a,,\r\n", {{"", "a", "", ""}}},
        {"empty lines", "a\r\n\r\n\nb\r\n", {{"a"}, {""}, {""}, {"b"}}},
        {"blanks kept", " a , b \r\n", {{" a ", " b "}}},
        {"quoted comma", "\"MAIN, ST\",2\r\n", {{"MAIN, ST", "2"}}},
        {"doubled quotes", "\"say \"\"hi\"\"\",\"\"\"\"\r\n", {{"say \"hi\"", "\""}}},
        {"empty quoted field", "\"\",x\r\n", {{"", "x"}}},
        {"line ends inside quotes", "\"a\r\nb\nc\rd\",e\r\nf\r\n", {{"a\r\nb\nc\rd", "e"}, {"f"}}},
        {"quote inside a bare field", "O\"NEIL,2\r\n", {{"O\"NEIL", "2"}}},
        {"text after the closing quote", "\"ab\"c,d\r\n", {{"abc", "d"}}},
        {"quote never closed", "a,\"b,c\r\nd", {{"a", "b,c\r\nd"}}},
        {"UTF-8 with byte-order mark", "\xEF\xBB\xBF\"Caf\xC3\xA9\",1\r\n", {{QString::fromUtf8("Caf\u00e9"), "1"}}},
        {"UTF-8 without byte-order mark", "\xE2\x82\xAC" "5\r\n", {{QString::fromUtf8("\u20ac5")}}},
        {"Windows-1252", "Caf\xE9,\x80" "5,\x92s\r\n",
         {{QString::fromUtf8("Caf\u00e9"), QString::fromUtf8("\u20ac5"), QString::fromUtf8("\u2019s")}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readCsv(c.bytes), c.records) << c.name;
}

TEST(CsvReading, TellsTheEncodingByWhetherTheBytesAreValidUtf8)
{
    const struct {
        QByteArray bytes;
        TextEncoding encoding;
        QString text;
    } cases[] = {
        {"plain ASCII", TextEncoding::Utf8, "plain ASCII"},
        {"\xEF\xBB\xBF" "A", TextEncoding::Utf8, "A"},
        {"\xC3\xA9t\xC3\xA9", TextEncoding::Utf8, QString::fromUtf8("\u00e9t\u00e9")},
        {"\xE9t\xE9", TextEncoding::Windows1252, QString::fromUtf8("\u00e9t\u00e9")},
        // A UTF-8 sequence cut off at the end is not UTF-8.
        {"ab\xC3", TextEncoding::Windows1252, QString::fromUtf8("ab\u00c3")},
        // An overlong form of "/" is not UTF-8 either.
        {"\xC0\xAF", TextEncoding::Windows1252, QString::fromUtf8("\u00c0\u00af")},
        // UTF-16 by its byte-order mark, in either byte order ("Unicode text").
        {QByteArray("\xFF\xFE" "A\0\xE9\0\t\0", 8), TextEncoding::Utf16, QString::fromUtf8("A\u00e9\t")},
        {QByteArray("\xFE\xFF" "\0A\0\xE9\x4E\x2D", 8), TextEncoding::Utf16, QString::fromUtf8("A\u00e9\u4e2d")},
        // Without its mark it is not UTF-16: the NUL bytes stay for the caller to refuse.
        {QByteArray("A\0", 2), TextEncoding::Utf8, QStringLiteral("A") + QChar(0)},
    };
    for (const auto& c : cases) {
        TextEncoding found = c.encoding == TextEncoding::Utf8 ? TextEncoding::Windows1252 : TextEncoding::Utf8;
        EXPECT_EQ(decodeText(c.bytes, &found), c.text) << c.bytes.toHex().toStdString();
        EXPECT_EQ(found, c.encoding) << c.bytes.toHex().toStdString();
    }
}

TEST(CsvReading, CountsTheLinesARecordBeginsOn)
{
    CsvReader reader(QStringLiteral("a\r\n\"b\r\nc\nd\"\re\n"));
    QStringList fields;
    std::vector<qsizetype> lines;
    while (reader.next(fields))
        lines.push_back(reader.lineNumber());
    EXPECT_EQ(lines, (std::vector<qsizetype>{2, 5, 6}));
}

TEST(CsvReading, TellsWhereAQuoteThatIsNeverClosedOpened)
{
    CsvReader reader(QStringLiteral("a\r\n\"b\r\nc\"\r\nd,\"e\r\nf\r\n"));
    QStringList fields, last;
    std::vector<std::pair<qsizetype, qsizetype>> records; // begins on, unclosed quote on
    while (reader.next(fields)) {
        records.emplace_back(reader.recordLine(), reader.unclosedQuoteLine());
        last = fields;
    }
    EXPECT_EQ(records, (std::vector<std::pair<qsizetype, qsizetype>>{{1, 0}, {2, 0}, {4, 4}}));
    EXPECT_EQ(last, QStringList({"d", "e\r\nf\r\n"}));
}

TEST(CsvReading, TheSeparatorIsWhatTheFirstLinesUse)
{
    const struct {
        const char* name;
        QString text;
        char separator;
    } cases[] = {
        {"commas", "Street,Ward\r\nElm St,1\r\n", ','},
        {"one column", "Elm St\r\nOak Ave\r\n", ','},
        {"empty", "", ','},
        {"semicolons", "Street;Ward\r\nPINE ST;1\r\n", ';'},
        {"semicolons and decimal commas", "PINE ST;1,5\r\nOAK;2,25\r\n", ';'},
        {"tabs (Unicode text)", "Street\tWard\nElm St\t1,5\n", '\t'},
        {"a semicolon in one later field", "Elm St,a;b\r\nOak,2\r\nPine,3\r\n", ','},
        {"separators inside quotes do not count", "\"A;B\",1\r\n\"C;D\",2\r\n", ','},
        {"a quote inside a bare field opens nothing", "12\" PIPE;1\r\nOAK;2,5\r\nELM;3\r\n", ';'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvSeparator(c.text), QLatin1Char(c.separator)) << c.name;
    CsvReader reader(QStringLiteral("PINE ST;1,5\r\n\"A;B\";2\r\n"), QLatin1Char(';'));
    QStringList fields;
    ASSERT_TRUE(reader.next(fields));
    EXPECT_EQ(fields, QStringList({"PINE ST", "1,5"}));
    ASSERT_TRUE(reader.next(fields));
    EXPECT_EQ(fields, QStringList({"A;B", "2"}));
}

TEST(CsvReading, ReadsADeviceAndRefusesOneNotOpen)
{
    QByteArray bytes = "n\r\n\"x,y\"\r\n";
    QBuffer buffer(&bytes);
    QString error;
    EXPECT_FALSE(readCsv(buffer, &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_EQ(readCsv(buffer, &error), (Records{{"n"}, {"x,y"}}));
}

TEST(CsvWriting, QuotesAsTheCallerChooses)
{
    const struct {
        const char* text;
        CsvQuote quote;
        const char* written;
    } cases[] = {
        {"12", CsvQuote::AsNeeded, "12"},        {"", CsvQuote::AsNeeded, ""},
        {"a,b", CsvQuote::AsNeeded, "\"a,b\""},  {"say \"hi\"", CsvQuote::AsNeeded, "\"say \"\"hi\"\"\""},
        {"a\r\nb", CsvQuote::AsNeeded, "\"a\r\nb\""}, {"a\rb", CsvQuote::AsNeeded, "\"a\rb\""},
        {"MAIN ST", CsvQuote::Always, "\"MAIN ST\""}, {"", CsvQuote::Always, "\"\""},
        {"#NULL#", CsvQuote::Never, "#NULL#"},   {"1.5", CsvQuote::Never, "1.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(c.text, c.quote), c.written) << c.text;
    EXPECT_EQ(csvRecord({{"7"}, {"MAIN, ST", CsvQuote::Always}, {"#NULL#", CsvQuote::Never}}),
              "7,\"MAIN, ST\",#NULL#\r\n");
    EXPECT_EQ(csvRecord(QStringList{"a", "b\"c", ""}, u"\n"), "a,\"b\"\"c\",\n");
}

TEST(CsvWriting, WhatIsWrittenReadsBackTheSame)
{
    const Records records = {{"plain", "", "a,b"}, {"\"quoted\"", "line\r\nbreak", QString::fromUtf8("Caf\u00e9 \u20ac")},
                             {""}};
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Windows1252, TextEncoding::Utf16}) {
        QString text;
        for (const QStringList& record : records)
            text += csvRecord(record);
        EXPECT_EQ(readCsv(encodeText(text, encoding)), records);
    }
    EXPECT_EQ(encodeText(QString::fromUtf8("\u0150"), TextEncoding::Windows1252), "?");
    EXPECT_EQ(encodeText(u"A", TextEncoding::Utf16), QByteArray("\xFF\xFE" "A\0", 4));
}

} // namespace
