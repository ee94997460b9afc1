#pragma once
// Comma-separated files (RFC 4180): fields separated by commas, records by
// line ends; a field in double quotes may hold commas, line ends and quotes
// (written twice). Files from spreadsheets are UTF-8, with or without a
// byte-order mark, or Windows-1252.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

class QIODevice;

namespace kolva {

enum class TextEncoding { Utf8, Windows1252 };

// The text of a file's bytes: UTF-8 when the bytes are valid UTF-8 or begin
// with the UTF-8 byte-order mark (the mark is dropped; a bad sequence after it
// becomes U+FFFD), else Windows-1252. found (may be null) tells which.
QString decodeText(QByteArrayView bytes, TextEncoding* found = nullptr);
// The bytes of text in that encoding (no byte-order mark). A character
// Windows-1252 cannot hold is written as "?".
QByteArray encodeText(QStringView text, TextEncoding encoding);

// Reads records one by one from a text. A line end is CR LF, LF or CR. An
// empty line is a record of one empty field; a last line without a line end
// is a record; a line end at the very end adds none. A field is quoted when
// it begins with a double quote; what follows its closing quote up to the
// next comma is kept as text, and a quote never closed runs to the end.
class CsvReader {
public:
    explicit CsvReader(QString text);
    // The next record into fields; false when none is left.
    bool next(QStringList& fields);
    // The number of the line the next record begins on (1 for the first).
    qsizetype lineNumber() const { return line_; }

private:
    QString text_;
    qsizetype pos_ = 0;
    qsizetype line_ = 1;
};

// Every record of a file's bytes, decoded by decodeText.
std::vector<QStringList> readCsv(QByteArrayView bytes, TextEncoding* found = nullptr);
// The same for everything a device holds from where it stands; nothing,
// with why in *error, when the device cannot be read.
std::optional<std::vector<QStringList>> readCsv(QIODevice& device, QString* error = nullptr,
                                                TextEncoding* found = nullptr);

// How a field is written: in quotes only when it holds a comma, a quote or
// a line end; always in quotes; or bare as given (numbers, #NULL#).
enum class CsvQuote { AsNeeded, Always, Never };

struct CsvField {
    QString text;
    CsvQuote quote = CsvQuote::AsNeeded;
};

// One field as written: in quotes, each quote doubled, when asked.
QString csvField(const QString& text, CsvQuote quote = CsvQuote::AsNeeded);
// One record, fields joined by commas, followed by the line end.
QString csvRecord(const std::vector<CsvField>& fields, QStringView lineEnd = u"\r\n");
QString csvRecord(const QStringList& fields, QStringView lineEnd = u"\r\n");

} // namespace kolva
