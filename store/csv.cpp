#include "store/csv.h"

#include "store/codepage.h"

#include <QIODevice>
#include <QStringDecoder>

namespace kolva {

namespace {

constexpr char Bom[] = "\xEF\xBB\xBF";

bool needsQuotes(const QString& text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    }
    return false;
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

QString decodeText(QByteArrayView bytes, TextEncoding* found)
{
    const bool littleEndian = bytes.startsWith("\xFF\xFE"), bigEndian = bytes.startsWith("\xFE\xFF");
    if (littleEndian || bigEndian) {
        if (found)
            *found = TextEncoding::Utf16;
        QStringDecoder utf16(littleEndian ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        return utf16.decode(bytes.sliced(2));
    }
    // The decoder drops a byte-order mark in front and reports any sequence
    // that is not UTF-8, a cut-off one at the end included.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError() || bytes.startsWith(Bom)) {
        if (found)
            *found = TextEncoding::Utf8;
        return text;
    }
    if (found)
        *found = TextEncoding::Windows1252;
    return fromWindows1252(bytes);
}

QByteArray encodeText(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Windows1252:
        return toWindows1252(text);
    case TextEncoding::Utf16:
        break;
    }
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    return utf16.encode(text);
}

QChar csvSeparator(QStringView text)
{
    // Lines looked at: enough to see past a title line and a few odd rows.
    constexpr int LinesLooked = 20;
    // In order of preference when as many lines hold them.
    const QChar candidates[] = {QLatin1Char('\t'), QLatin1Char(';'), QLatin1Char(',')};
    int linesWith[3] = {0, 0, 0};
    bool seen[3] = {false, false, false};
    bool quoted = false;
    bool fieldStart = true;
    int lines = 0;
    const auto endLine = [&] {
        for (int k = 0; k < 3; ++k) {
            linesWith[k] += seen[k] ? 1 : 0;
            seen[k] = false;
        }
        ++lines;
    };
    for (qsizetype i = 0; i < text.size() && lines < LinesLooked; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                    ++i;
                else
                    quoted = false;
            }
            continue;
        }
        if (isLineEnd(c)) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            endLine();
            fieldStart = true;
            continue;
        }
        if (c == QLatin1Char('"') && fieldStart) {
            quoted = true;
            fieldStart = false;
            continue;
        }
        fieldStart = false;
        for (int k = 0; k < 3; ++k) {
            if (c == candidates[k])
                seen[k] = fieldStart = true;
        }
    }
    if (lines < LinesLooked)
        endLine();
    int best = -1;
    for (int k = 0; k < 3; ++k) {
        if (linesWith[k] > 0 && (best < 0 || linesWith[k] > linesWith[best]))
            best = k;
    }
    return best < 0 ? QLatin1Char(',') : candidates[best];
}

CsvReader::CsvReader(QString text, QChar separator) : text_(std::move(text)), separator_(separator) {}

bool CsvReader::next(QStringList& fields)
{
    fields.clear();
    recordLine_ = line_;
    unclosedQuoteLine_ = 0;
    const qsizetype size = text_.size();
    if (pos_ >= size)
        return false;
    const QChar* data = text_.constData();
    QString field;
    bool fieldStart = true;
    bool quoted = false;
    qsizetype quoteLine = 0;
    while (pos_ < size) {
        const QChar c = data[pos_];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (pos_ + 1 < size && data[pos_ + 1] == QLatin1Char('"')) {
                    field += c;
                    pos_ += 2;
                } else {
                    quoted = false;
                    ++pos_;
                }
                continue;
            }
            if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && !(pos_ + 1 < size && data[pos_ + 1] == QLatin1Char('\n'))))
                ++line_;
            qsizetype end = pos_ + 1;
            while (end < size && data[end] != QLatin1Char('"') && !isLineEnd(data[end]))
                ++end;
            field.append(data + pos_, end - pos_);
            pos_ = end;
            continue;
        }
        if (c == separator_) {
            fields.append(field);
            field.clear();
            fieldStart = true;
            ++pos_;
            continue;
        }
        if (isLineEnd(c)) {
            pos_ += (c == QLatin1Char('\r') && pos_ + 1 < size && data[pos_ + 1] == QLatin1Char('\n')) ? 2 : 1;
            ++line_;
            break;
        }
        if (c == QLatin1Char('"') && fieldStart) {
            quoted = true;
            quoteLine = line_;
            fieldStart = false;
            ++pos_;
            continue;
        }
        fieldStart = false;
        qsizetype end = pos_ + 1;
        while (end < size && data[end] != separator_ && !isLineEnd(data[end]))
            ++end;
        field.append(data + pos_, end - pos_);
        pos_ = end;
    }
    if (quoted)
        unclosedQuoteLine_ = quoteLine;
    fields.append(field);
    return true;
}

std::vector<QStringList> readCsv(QByteArrayView bytes, TextEncoding* found)
{
    CsvReader reader(decodeText(bytes, found));
    std::vector<QStringList> records;
    QStringList fields;
    while (reader.next(fields))
        records.push_back(fields);
    return records;
}

std::optional<std::vector<QStringList>> readCsv(QIODevice& device, QString* error, TextEncoding* found)
{
    if (!device.isReadable()) {
        if (error)
            *error = device.errorString().isEmpty() ? QStringLiteral("not open for reading") : device.errorString();
        return std::nullopt;
    }
    return readCsv(device.readAll(), found);
}

QString csvField(const QString& text, CsvQuote quote)
{
    if (quote == CsvQuote::Never || (quote == CsvQuote::AsNeeded && !needsQuotes(text)))
        return text;
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString csvRecord(const std::vector<CsvField>& fields, QStringView lineEnd)
{
    QString out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += csvField(fields[i].text, fields[i].quote);
    }
    out += lineEnd;
    return out;
}

QString csvRecord(const QStringList& fields, QStringView lineEnd)
{
    QString out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += csvField(fields.at(i));
    }
    out += lineEnd;
    return out;
}

} // namespace kolva
