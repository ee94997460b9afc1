#include "card/treefile.h"

#include "store/codepage.h"
#include "store/dates.h"
#include "store/numbers.h"
#include "store/surveycolumns.h"
#include "store/textroutines.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kolva {

using namespace treefile;

namespace {

constexpr qsizetype Chunk = 16 * 1024;
// Enough bytes for 51 lines of the longest length allowed, each with CR LF.
constexpr qsizetype ReadLimit = MaxLinesRead * (MaxLineBytes + 2);

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
    // Line 51 is read and thrown away, whatever it holds: only the lines kept
    // are judged.
    for (int n = 0; n < KeptLines && pos < size; ++n) {
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
        lines[size_t(n)] = fromWindows1252(QByteArrayView(data + pos, length));
        if (end == size)
            break;
        pos = end + ((data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

namespace {

// A file opened for reading, closed on every way out. On Unix the system
// calls are used directly: the import opens thousands of small files.
class InputFile {
public:
    explicit InputFile(const QString& path)
#ifdef Q_OS_UNIX
        : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC))
    {
        // A pipe or a device is not a file to read: opening it does not
        // wait, and it is refused.
        struct stat info;
        if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(fd_);
            fd_ = -1;
            errno = EINVAL;
            error_ = QStringLiteral("not a regular file");
            return;
        }
        if (fd_ < 0)
            error_ = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~InputFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }
    qint64 read(char* data, qint64 size)
    {
        for (;;) {
            const ssize_t got = ::read(fd_, data, size_t(size));
            if (got >= 0)
                return got;
            if (errno != EINTR) {
                error_ = QString::fromLocal8Bit(std::strerror(errno));
                return -1;
            }
        }
    }
#else
        : file_(path)
    {
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            error_ = file_.errorString();
    }
    bool isOpen() const { return file_.isOpen(); }
    qint64 read(char* data, qint64 size)
    {
        const qint64 got = file_.read(data, size);
        if (got < 0)
            error_ = file_.errorString();
        return got;
    }
#endif
    QString errorString() const { return error_; }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

private:
#ifdef Q_OS_UNIX
    int fd_ = -1;
#else
    QFile file_;
#endif
    QString error_;
};

} // namespace

std::optional<TreeFileLines> TreeFileReader::read(const QString& path, QString* error)
{
    InputFile file(path);
    if (!file.isOpen()) {
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
        const char* bytes = buffer_.constData();
        for (qsizetype i = total; i < total + got; ++i)
            lineEndBytes += bytes[i] == '\n' || bytes[i] == '\r';
        total += got;
        if (lineEndBytes >= 2 * MaxLinesRead || total >= ReadLimit)
            break;
    }
    return parse(QByteArrayView(buffer_.constData(), total), error);
}

static_assert(FieldCount == ImportedSurveyColumnCount);

const std::array<SurveyField, FieldCount>& surveyFields()
{
    // The line of the file each imported column comes from, in the order of
    // the columns; 0 is the import time.
    static constexpr std::array<int, FieldCount> Lines = {
        3,  4,  5,  6,  7,  2,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
        24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 0,  44,
    };
    static const std::array<SurveyField, FieldCount> fields = [] {
        using K = SurveyField::Kind;
        std::array<SurveyField, FieldCount> made{};
        const auto columns = importedSurveyColumns();
        for (size_t i = 0; i < made.size(); ++i) {
            K kind = K::Text;
            switch (columns[i].kind) {
            case SurveyColumnKind::Text:
                kind = K::Text;
                break;
            case SurveyColumnKind::DateTime:
                kind = Lines[i] > 0 ? K::Date : K::ImportTime;
                break;
            case SurveyColumnKind::Int32:
                kind = K::Long;
                break;
            case SurveyColumnKind::Int16:
                kind = K::Short;
                break;
            case SurveyColumnKind::Real:
            case SurveyColumnKind::YesNo:
                throw std::logic_error("the import writes no such column");
            }
            made[i] = {columns[i].name, Lines[i], kind};
        }
        return made;
    }();
    return fields;
}

namespace {

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// Reads 1 to maxDigits ASCII digits at pos.
bool readNumber(QStringView text, qsizetype& pos, int minDigits, int maxDigits, int& value)
{
    value = 0;
    int digits = 0;
    while (pos < text.size() && digits < maxDigits && isAsciiDigit(text[pos])) {
        value = value * 10 + (text[pos].unicode() - '0');
        ++pos;
        ++digits;
    }
    return digits >= minDigits && !(pos < text.size() && isAsciiDigit(text[pos]));
}

void appendPadded(QString& out, int value, int width)
{
    char digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(QLatin1String(digits, width));
}

// The handheld's own forms: "1/2/2008", "01/02/2008 14:20", "1/2/2008
// 2:20:00 PM", with blanks only. Nothing for any other text (which the
// general reader then judges).
std::optional<QString> quickUsDateTime(QStringView text)
{
    qsizetype pos = 0;
    const auto blanks = [&] {
        const qsizetype start = pos;
        while (pos < text.size() && text[pos] == QLatin1Char(' '))
            ++pos;
        return pos - start;
    };
    const auto separator = [&] {
        if (pos < text.size() && (text[pos] == QLatin1Char('/') || text[pos] == QLatin1Char('-'))) {
            ++pos;
            return true;
        }
        return false;
    };
    int month, day, year, hour = 0, minute = 0, second = 0;
    blanks();
    if (!readNumber(text, pos, 1, 2, month) || !separator() || !readNumber(text, pos, 1, 2, day) || !separator())
        return std::nullopt;
    const qsizetype yearStart = pos;
    if (!readNumber(text, pos, 2, 4, year) || (pos - yearStart) == 3)
        return std::nullopt;
    if (pos - yearStart == 2)
        year += year < 30 ? 2000 : 1900;
    if (blanks() > 0 && pos < text.size()) {
        if (!readNumber(text, pos, 1, 2, hour) || pos >= text.size() || text[pos] != QLatin1Char(':'))
            return std::nullopt;
        ++pos;
        if (!readNumber(text, pos, 2, 2, minute))
            return std::nullopt;
        if (pos < text.size() && text[pos] == QLatin1Char(':')) {
            ++pos;
            if (!readNumber(text, pos, 2, 2, second))
                return std::nullopt;
        }
        blanks();
        if (pos + 1 < text.size() && (text[pos + 1] == QLatin1Char('M') || text[pos + 1] == QLatin1Char('m'))) {
            const QChar half = text[pos];
            const bool pm = half == QLatin1Char('P') || half == QLatin1Char('p');
            if (!pm && half != QLatin1Char('A') && half != QLatin1Char('a'))
                return std::nullopt;
            if (hour < 1 || hour > 12)
                return QString();
            hour = hour % 12 + (pm ? 12 : 0);
            pos += 2;
            blanks();
        }
    }
    if (pos != text.size())
        return std::nullopt;
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second))
        return QString();
    QString stored;
    stored.reserve(19);
    appendPadded(stored, year, 4);
    stored += QLatin1Char('-');
    appendPadded(stored, month, 2);
    stored += QLatin1Char('-');
    appendPadded(stored, day, 2);
    stored += QLatin1Char(' ');
    appendPadded(stored, hour, 2);
    stored += QLatin1Char(':');
    appendPadded(stored, minute, 2);
    stored += QLatin1Char(':');
    appendPadded(stored, second, 2);
    return stored;
}

} // namespace

QString storedUsDateTime(QStringView text)
{
    if (std::optional<QString> quick = quickUsDateTime(text))
        return *quick;
    const std::optional<QDateTime> date = parseUsDateTime(text.toString());
    return date ? toDbDateTime(*date) : QString();
}

std::optional<SurveyValues> toSurveyValues(const TreeFileLines& lines, const QDateTime& added, QString* error)
{
    return toSurveyValues(lines, toDbDateTime(added), error);
}

std::optional<SurveyValues> toSurveyValues(const TreeFileLines& lines, const QString& addedStored, QString* error)
{
    using K = SurveyField::Kind;
    SurveyValues values;
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // A value as a message shows it: every character that would show as
    // nothing made visible, quoted, and cut when long.
    const auto shown = [](const QString& line) {
        return QLatin1Char('"') + visibleText(line.size() > 40 ? line.left(40) + QStringLiteral("...") : line) +
               QLatin1Char('"');
    };
    // Why a number line does not convert: empty, not a number, or a number
    // out of range (also one too long for any range). The text judged is the
    // one the number reader judged: only the blanks it allows around a
    // number are taken off.
    const auto numberFault = [&](const SurveyField& field, const QString& line, qint64 min, qint64 max) {
        const QString column = QLatin1String(field.column);
        if (line.trimmed().isEmpty())
            return QStringLiteral("%1 (line %2) is empty").arg(column).arg(field.line);
        qsizetype from = 0;
        qsizetype to = line.size();
        const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
        while (from < to && blank(line[from]))
            ++from;
        while (to > from && blank(line[to - 1]))
            --to;
        const QStringView text = QStringView(line).sliced(from, to - from);
        constexpr qint64 Wide = qint64(1) << 61;
        const bool digitsOnly = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
            return (c.unicode() >= '0' && c.unicode() <= '9') || c == QLatin1Char('.') || c == QLatin1Char('-') ||
                   c == QLatin1Char('+');
        });
        if (roundHalfEven(text, -Wide, Wide) || (digitsOnly && text.size() > 18 && text.count(QLatin1Char('.')) <= 1))
            return QStringLiteral("%1 %2 is outside %3 to %4").arg(column, text.left(40).toString()).arg(min).arg(max);
        return QStringLiteral("%1 %2 is not a number").arg(column, shown(line));
    };
    for (size_t f = 0; f < surveyFields().size(); ++f) {
        const SurveyField& field = surveyFields()[f];
        const QString& line = field.line > 0 ? lines[size_t(field.line - 1)] : emptyText();
        switch (field.kind) {
        case K::Text:
            values[f] = line.isNull() ? emptyText() : line;
            break;
        case K::Date: {
            const QString stored = storedUsDateTime(line);
            if (stored.isEmpty()) {
                if (line.trimmed().isEmpty())
                    return fail(QStringLiteral("the date (line %1) is empty").arg(field.line));
                return fail(QStringLiteral("%1 is not a date").arg(line.size() > 40 ? shown(line) : visibleText(line)));
            }
            values[f] = stored;
            break;
        }
        case K::ImportTime:
            values[f] = addedStored;
            break;
        case K::Long: {
            constexpr qint64 Min = std::numeric_limits<qint32>::min();
            constexpr qint64 Max = std::numeric_limits<qint32>::max();
            const auto number = roundHalfEven(line, Min, Max);
            if (!number)
                return fail(numberFault(field, line, Min, Max));
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
            constexpr qint64 Min = std::numeric_limits<qint16>::min();
            constexpr qint64 Max = std::numeric_limits<qint16>::max();
            const auto number = roundHalfEven(line, Min, Max);
            if (!number)
                return fail(numberFault(field, line, Min, Max));
            values[f] = *number;
            break;
        }
        }
    }
    return values;
}

} // namespace kolva
