#include "costing/csvexport.h"

#include "costing/costtable.h"
#include "platform/jobprogress.h"
#include "store/database.h"
#include "store/dates.h"
#include "store/rowcursor.h"
#include "store/safefile.h"
#include "store/surveycolumns.h"

#include <QStringEncoder>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>

namespace kolva {

namespace {

// How an item is written beyond its kind.
enum class Special { None, Date, Coordinate };

struct ExportColumn {
    const char* title;
    const char* field;
    Special special = Special::None;
};

constexpr std::array<ExportColumn, 44> Columns = {{
    {"Surveyor", "Surveyor"},
    {"Date", "Date_Evaluated", Special::Date},
    {"Risk Zone", "RiskZone"},
    {"Street #", "StreetNum"},
    {"Street Name", "StreetName"},
    {"Latitude", "Latitude", Special::Coordinate},
    {"Longitude", "Longitude", Special::Coordinate},
    {"Tree ID", "Tree_ID"},
    {"Location", "Location"},
    {"Species", "Species"},
    {"DBH", "DBH"},
    {"Site", "Site"},
    {"Obstruct-Visual", "Obstructions_Visual"},
    {"Obstruct-Physical", "Obstructions_Physical"},
    {"Crown Canker", "Crown_Canker"},
    {"Crown Crack", "Crown_Crack"},
    {"Crown Deadwood", "Crown_Deadwood"},
    {"Crown Decay", "Crown_Decay"},
    {"Crown Arch 1", "Crown_Arch_1"},
    {"Crown Arch 2", "Crown_Arch_2"},
    {"Crown Arch 3", "Crown_Arch_3"},
    {"Weak Union", "WeakUnion"},
    {"Trunk Canker", "Trunk_Canker"},
    {"Trunk Crack", "Trunk_Crack"},
    {"Trunk Decay", "Trunk_Decay"},
    {"Trunk Decay Shell", "TrunkDecay_Shell"},
    {"Trunk Decay Diam", "TrunkDecay_Diam"},
    {"Trunk Decay PCT", "TrunkDecay_Pct"},
    {"Trunk Arch 1", "Trunk_Arch_1"},
    {"Trunk Arch 2", "Trunk_Arch_2"},
    {"Roots Deep", "Roots_Deep"},
    {"Roots Injury", "Roots_Injury"},
    {"Roots Decay", "Roots_Decay"},
    {"Roots Arch 1", "Roots_Arch1"},
    {"Roots Arch 2", "Roots_Arch2"},
    {"Size Defect", "Size_Defect"},
    {"Prob Fail", "Prob_Failure"},
    {"Prob Target", "Prob_TargetImpact"},
    {"Other Risk", "OtherRisk"},
    {"Risk Rating", "Hazard_Rating"},
    {"Desc Other", "Desc_OtherRisk"},
    {"Reinspect Yr", "ReinspectYear"},
    {"Corrective Actions", "CorrectiveActions"},
    {"Note", "Note"},
}};

constexpr int DateColumn = 1;

// The kind of each column, from the survey table's description.
std::array<SurveyColumnKind, 44> columnKinds()
{
    std::array<SurveyColumnKind, 44> kinds{};
    for (size_t i = 0; i < Columns.size(); ++i) {
        const SurveyColumn* column = findSurveyColumn(QLatin1String(Columns[i].field));
        Q_ASSERT(column);
        kinds[i] = column ? column->kind : SurveyColumnKind::Text;
    }
    return kinds;
}

QString selectStatement(const QString& table, const QString& condition)
{
    QStringList fields;
    for (const ExportColumn& column : Columns)
        fields << QString::fromLatin1(column.field);
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY ID")
        .arg(fields.join(QStringLiteral(", ")), table, condition);
}

// The file's bytes: in the system's code page, or UTF-8 for a spreadsheet.
// Where they are UTF-8 (all systems but Windows) the texts go out as the
// engine holds them.
class Output {
public:
    explicit Output(bool forSpreadsheet) : encode_(QStringConverter::System), spreadsheet_(forSpreadsheet)
    {
        utf8_ = forSpreadsheet
                || QStringEncoder(QStringConverter::System).encode(QStringView(u"\u00e9\u20ac"))
                       == QByteArray("\xc3\xa9\xe2\x82\xac");
        bytes_.reserve(1 << 20);
    }
    QByteArray& bytes() { return bytes_; }

    void appendText(QByteArrayView utf8)
    {
        if (utf8_) {
            bytes_.append(utf8);
        } else {
            bytes_.append(encode_(QString::fromUtf8(utf8)));
        }
    }
    // A text in double quotes, a quote inside written twice; for a
    // spreadsheet a text that would start a formula after an apostrophe.
    void appendQuoted(QByteArrayView utf8)
    {
        bytes_.append('"');
        if (spreadsheet_ && !utf8.isEmpty() && std::memchr("=+-@\t\r", utf8.front(), 6))
            bytes_.append('\'');
        qsizetype from = 0;
        for (;;) {
            const qsizetype quote = utf8.indexOf('"', from);
            if (quote < 0)
                break;
            appendText(utf8.sliced(from, quote + 1 - from));
            bytes_.append('"');
            from = quote + 1;
        }
        appendText(utf8.sliced(from));
        bytes_.append('"');
    }

private:
    QStringEncoder encode_;
    bool spreadsheet_ = false;
    bool utf8_ = true;
    QByteArray bytes_;
};

void appendInteger(QByteArray& out, qint64 value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

// "2007-03-05 14:20:00" as "03/05/2007"; another text as it is.
void appendUsDate(Output& out, QByteArrayView stored)
{
    const QByteArray shown = shownDateOfStored(stored);
    out.appendQuoted(shown.isEmpty() ? stored : QByteArrayView(shown));
}

void appendItem(Output& out, const RowCursor& row, int column, SurveyColumnKind kind, Special special)
{
    const RowCursor::Kind stored = row.kind(column);
    if (special == Special::Date && stored == RowCursor::Kind::Null) {
        out.bytes().append("\"\""); // a record without a date
        return;
    }
    if (special == Special::Coordinate && (stored == RowCursor::Kind::Null
                                           || (stored == RowCursor::Kind::Text && row.text(column).isEmpty()))) {
        out.bytes().append("\" \"");
        return;
    }
    switch (stored) {
    case RowCursor::Kind::Null:
        out.bytes().append("#NULL#");
        return;
    case RowCursor::Kind::Text:
        if (special == Special::Date)
            appendUsDate(out, row.text(column));
        else
            out.appendQuoted(row.text(column));
        return;
    case RowCursor::Kind::Integer:
    case RowCursor::Kind::Real:
        // As stored: a number bare, except in a text column.
        if (kind == SurveyColumnKind::Text) {
            out.appendQuoted(row.text(column));
        } else if (stored == RowCursor::Kind::Integer) {
            appendInteger(out.bytes(), row.integer(column));
        } else {
            out.bytes().append(plainNumber(row.real(column)).toLatin1());
        }
        return;
    }
}

// The system's number and reason, e.g. "No space left on device".
[[noreturn]] void fileFailed(const SafeFileWriter& file, const QString& reason)
{
    throw CsvExportError(file.errorNumber(), reason);
}

} // namespace

QStringList surveyCsvTitles()
{
    QStringList titles;
    for (const ExportColumn& column : Columns)
        titles << QString::fromLatin1(column.title);
    return titles;
}

QStringList surveyCsvFields()
{
    QStringList fields;
    for (const ExportColumn& column : Columns)
        fields << QString::fromLatin1(column.field);
    return fields;
}

CsvExportResult exportSurveyCsv(Database& db, const CsvExportOptions& options, Progress& progress)
{
    const PeriodCondition period = periodCondition(options.period, options.everyRecord);

    progress.beginStage(QStringLiteral("Counting the trees"), 0);
    const qint64 total =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData WHERE ") + period.sql, period.values)
            .toLongLong();
    if (total == 0)
        return {};

    RowCursor row(db, selectStatement(surveyTableForPeriod(db, options.period, options.everyRecord), period.sql),
                  period.values);
    // Beside the target and renamed over it when complete: never through a
    // link, and a failure or a cancel leaves the old file as it was.
    std::optional<SafeFileWriter> file;
    if (!options.stream) {
        file.emplace(options.path);
        if (const QString reason = file->open(); !reason.isEmpty())
            fileFailed(*file, reason);
    }
    Output out(options.forSpreadsheet);
    const auto flush = [&] {
        if (!file) {
            if (options.stream->write(out.bytes()) != out.bytes().size())
                throw CsvExportError(EIO, QStringLiteral("Could not write the CSV lines: %1")
                                              .arg(options.stream->errorString()));
        } else if (file->device().write(out.bytes()) != out.bytes().size()) {
            fileFailed(*file, file->commit()); // gives the write's reason and removes the temporary file
        }
        out.bytes().clear();
    };

    progress.beginStage(QStringLiteral("Writing the CSV file"), total);
    progress.setCancellable(true);
    if (options.forSpreadsheet)
        out.bytes().append("\xEF\xBB\xBF"); // the byte-order mark
    for (size_t i = 0; i < Columns.size(); ++i) {
        if (i > 0)
            out.bytes().append(',');
        out.appendQuoted(QByteArrayView(Columns[i].title));
    }
    out.bytes().append("\r\n");

    static const std::array<SurveyColumnKind, 44> kinds = columnKinds();
    qint64 records = 0;
    qint64 undated = 0;
    while (row.next()) {
        if (row.kind(DateColumn) == RowCursor::Kind::Null)
            ++undated;
        for (int i = 0; i < int(Columns.size()); ++i) {
            if (i > 0)
                out.bytes().append(',');
            appendItem(out, row, i, kinds[size_t(i)], Columns[size_t(i)].special);
        }
        out.bytes().append("\r\n");
        ++records;
        if (out.bytes().size() > (1 << 19))
            flush();
        if (records % 1000 == 0) {
            progress.advance(records);
            if (progress.cancelRequested())
                return {0, true}; // the temporary file goes with the writer
        }
    }
    flush();
    progress.advance(records);
    progress.setCancellable(false);
    if (file) {
        if (const QString reason = file->commit(); !reason.isEmpty())
            fileFailed(*file, reason);
    }
    return {records, false, undated};
}

QString undatedRecordsNote(qint64 undated)
{
    if (undated <= 0)
        return {};
    return undated == 1 ? QStringLiteral("1 record has no evaluation date; its Date is empty.")
                        : QStringLiteral("%1 records have no evaluation date; their Date is empty.").arg(undated);
}

} // namespace kolva
