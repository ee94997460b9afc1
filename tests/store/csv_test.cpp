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
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Windows1252}) {
        QString text;
        for (const QStringList& record : records)
            text += csvRecord(record);
        EXPECT_EQ(readCsv(encodeText(text, encoding)), records);
    }
    EXPECT_EQ(encodeText(QString::fromUtf8("\u0150"), TextEncoding::Windows1252), "?");
}

} // namespace
