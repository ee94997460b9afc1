#include "card/treefile.h"

#include "card/codepage.h"
#include "store/dates.h"
#include "store/textroutines.h"

#include <QFile>

#include <cstring>
#include <limits>

namespace kolva {

using namespace treefile;

namespace {

constexpr qsizetype Chunk = 16 * 1024;
// Enough bytes for 51 lines of the longest length allowed, each with CR LF.
constexpr qsizetype ReadLimit = MaxLinesRead * (MaxLineBytes + 2);

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

const QString& emptyText()
{
    static const QString empty = QStringLiteral("");
    return empty;
}

} // namespace

std::optional<TreeFileLines> TreeFileReader::parse(QByteArrayView bytes, QString* error)
{
    TreeFileLines lines;
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    for (int n = 0; n < MaxLinesRead && pos < size; ++n) {
        qsizetype end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        const qsizetype length = end - pos;
        if (length > MaxLineBytes) {
            if (error)
                *error = QStringLiteral("line %1 is longer than %2 bytes").arg(n + 1).arg(MaxLineBytes);
            return std::nullopt;
        }
        if (length > 0 && std::memchr(data + pos, 0, size_t(length))) {
            if (error)
                *error = QStringLiteral("not a text file (line %1 holds a NUL byte)").arg(n + 1);
            return std::nullopt;
        }
        if (n < KeptLines)
            lines[size_t(n)] = fromWindows1252(QByteArrayView(data + pos, length));
        if (end == size)
            break;
        pos = end + ((data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

std::optional<TreeFileLines> TreeFileReader::read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("cannot be opened: ") + file.errorString();
        return std::nullopt;
    }
    // Read on only as far as needed: a file holding 51 line ends (at most
    // two bytes each) is read far enough; beyond ReadLimit some line is
    // longer than allowed anyway.
    qsizetype total = 0;
    qsizetype lineEndBytes = 0;
    for (;;) {
        const qsizetype want = std::min(Chunk, ReadLimit - total);
        if (buffer_.size() < total + want)
            buffer_.resize(total + want);
        const qint64 got = file.read(buffer_.data() + total, want);
        if (got < 0) {
            if (error)
                *error = QStringLiteral("cannot be read: ") + file.errorString();
            return std::nullopt;
        }
        if (got == 0)
            break;
        for (qsizetype i = total; i < total + got; ++i)
            lineEndBytes += buffer_[i] == '\n' || buffer_[i] == '\r';
        total += got;
        if (lineEndBytes >= 2 * MaxLinesRead || total >= ReadLimit)
            break;
    }
    return parse(QByteArrayView(buffer_.constData(), total), error);
}

const std::array<SurveyField, FieldCount>& surveyFields()
{
    using K = SurveyField::Kind;
    static const std::array<SurveyField, FieldCount> fields = {{
        {"Surveyor", 3, K::Text},
        {"Date_Evaluated", 4, K::Date},
        {"RiskZone", 5, K::Text},
        {"StreetNum", 6, K::Text},
        {"StreetName", 7, K::Text},
        {"Tree_ID", 2, K::Long},
        {"Location", 8, K::Text},
        {"Species", 9, K::Text},
        {"DBH", 10, K::Short},
        {"Site", 11, K::Text},
        {"Obstructions_Physical", 12, K::Text},
        {"Obstructions_Visual", 13, K::Text},
        {"Crown_Canker", 14, K::Text},
        {"Crown_Crack", 15, K::Text},
        {"Crown_Deadwood", 16, K::Text},
        {"Crown_Decay", 17, K::Text},
        {"Crown_Arch_1", 18, K::Text},
        {"Crown_Arch_2", 19, K::Text},
        {"Crown_Arch_3", 20, K::Text},
        {"WeakUnion", 21, K::Text},
        {"Trunk_Canker", 22, K::Text},
        {"Trunk_Crack", 23, K::Text},
        {"Trunk_Decay", 24, K::Text},
        {"TrunkDecay_Shell", 25, K::Short},
        {"TrunkDecay_Diam", 26, K::Short},
        {"TrunkDecay_Pct", 27, K::Short},
        {"Trunk_Arch_1", 28, K::Text},
        {"Trunk_Arch_2", 29, K::Text},
        {"Roots_Deep", 30, K::Text},
        {"Roots_Injury", 31, K::Text},
        {"Roots_Decay", 32, K::Text},
        {"Roots_Arch1", 33, K::Text},
        {"Roots_Arch2", 34, K::Text},
        {"Size_Defect", 35, K::Text},
        {"Prob_Failure", 36, K::Text},
        {"Prob_TargetImpact", 37, K::Text},
        {"OtherRisk", 38, K::Text},
        {"Hazard_Rating", 39, K::Short},
        {"Desc_OtherRisk", 40, K::Text},
        {"ReinspectYear", 41, K::Text},
        {"CorrectiveActions", 42, K::Text},
        {"Note", 43, K::Text},
        {"Date_Added", 0, K::ImportTime},
        {"Utility_Conflict", 44, K::Text},
    }};
    return fields;
}

std::optional<qint64> roundHalfEven(QStringView text, qint64 min, qint64 max)
{
    qsizetype i = 0;
    qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    while (n > i && isBlank(text[n - 1]))
        --n;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    constexpr quint64 Huge = quint64(1) << 62;
    quint64 whole = 0;
    bool tooBig = false;
    int digits = 0;
    for (; i < n && text[i].isDigit() && text[i].unicode() < 0x80; ++i, ++digits) {
        if (whole >= Huge / 10)
            tooBig = true;
        else
            whole = whole * 10 + (text[i].unicode() - '0');
    }
    int firstDecimal = 0;    // the digit that decides the rounding
    bool restNonZero = false; // any other non-zero digit after it
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        for (int place = 0; i < n && text[i].isDigit() && text[i].unicode() < 0x80; ++i, ++place, ++digits) {
            const int d = text[i].unicode() - '0';
            if (place == 0)
                firstDecimal = d;
            else if (d != 0)
                restNonZero = true;
        }
    }
    if (i != n || digits == 0 || tooBig)
        return std::nullopt;
    if (firstDecimal > 5 || (firstDecimal == 5 && (restNonZero || (whole & 1))))
        ++whole;
    const qint64 value = negative ? -qint64(whole) : qint64(whole);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<SurveyValues> toSurveyValues(const TreeFileLines& lines, const QDateTime& added, QString* error)
{
    using K = SurveyField::Kind;
    SurveyValues values;
    const auto fail = [error](const SurveyField& field, const QString& why, const QString& line) {
        if (error)
            *error = QStringLiteral("line %1 (%2) %3: \"%4\"")
                         .arg(field.line)
                         .arg(QLatin1String(field.column), why, line.left(80));
        return std::nullopt;
    };
    for (size_t f = 0; f < surveyFields().size(); ++f) {
        const SurveyField& field = surveyFields()[f];
        const QString& line = field.line > 0 ? lines[size_t(field.line - 1)] : emptyText();
        switch (field.kind) {
        case K::Text:
            values[f] = line.isNull() ? emptyText() : line;
            break;
        case K::Date: {
            const std::optional<QDateTime> date = parseUsDateTime(line);
            if (!date)
                return fail(field, QStringLiteral("is not a month/day/year date"), line);
            values[f] = toDbDateTime(*date);
            break;
        }
        case K::ImportTime:
            values[f] = toDbDateTime(added);
            break;
        case K::Long: {
            const auto number = roundHalfEven(line, std::numeric_limits<qint32>::min(),
                                              std::numeric_limits<qint32>::max());
            if (!number)
                return fail(field, QStringLiteral("is not a whole number of 32 bits"), line);
            values[f] = *number;
            break;
        }
        case K::Short: {
            // An empty value counts as 0; blanks alone are empty too.
            const QVariant value = NullToZero(line.trimmed());
            if (value.typeId() != QMetaType::QString) {
                values[f] = 0;
                break;
            }
            const auto number = roundHalfEven(line, std::numeric_limits<qint16>::min(),
                                              std::numeric_limits<qint16>::max());
            if (!number)
                return fail(field, QStringLiteral("is not a whole number of 16 bits"), line);
            values[f] = *number;
            break;
        }
        }
    }
    return values;
}

} // namespace kolva
