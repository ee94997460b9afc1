#include "costing/csvexport.h"

#include "costing/costtable.h"
#include "platform/progress.h"
#include "store/database.h"
#include "store/surveycolumns.h"

#include <QSaveFile>
#include <QSqlError>
#include <QStringEncoder>

#include <array>

namespace kolva {

CsvExportError::CsvExportError(int number, const QString& description)
    : std::runtime_error(QStringLiteral("%1 - %2").arg(number).arg(description).toStdString()), number_(number),
      description_(description)
{
}

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

QString selectStatement()
{
    QStringList fields;
    for (const ExportColumn& column : Columns)
        fields << QString::fromLatin1(column.field);
    return QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE Date_Evaluated BETWEEN ? AND ? ORDER BY ID")
        .arg(fields.join(QStringLiteral(", ")));
}

void appendQuoted(QString& out, const QString& text)
{
    out += QLatin1Char('"');
    if (text.contains(QLatin1Char('"'))) {
        for (const QChar c : text) {
            if (c == QLatin1Char('"'))
                out += QLatin1Char('"');
            out += c;
        }
    } else {
        out += text;
    }
    out += QLatin1Char('"');
}

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

void appendNumber(QString& out, const QVariant& value)
{
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        out += plainNumber(value.toDouble());
    else
        out += QString::number(value.toLongLong());
}

// "2007-03-05 14:20:00" as "03/05/2007".
QString usDate(const QString& stored)
{
    if (stored.size() >= 10 && stored.at(4) == QLatin1Char('-') && stored.at(7) == QLatin1Char('-'))
        return stored.mid(5, 2) + QLatin1Char('/') + stored.mid(8, 2) + QLatin1Char('/') + stored.left(4);
    return stored;
}

void appendItem(QString& out, const QVariant& value, SurveyColumnKind kind, Special special)
{
    if (special == Special::Coordinate && (value.isNull() || value.toString().isEmpty())) {
        out += QLatin1String("\" \"");
        return;
    }
    if (value.isNull()) {
        out += QLatin1String("#NULL#");
        return;
    }
    if (special == Special::Date) {
        appendQuoted(out, usDate(value.toString()));
        return;
    }
    // As stored: a number bare, a text quoted, whatever the column.
    if (kind != SurveyColumnKind::Text && isNumber(value))
        appendNumber(out, value);
    else
        appendQuoted(out, value.toString());
}

[[noreturn]] void fileFailed(const QSaveFile& file)
{
    throw CsvExportError(int(file.error()), file.errorString());
}

} // namespace

QStringList surveyCsvTitles()
{
    QStringList titles;
    for (const ExportColumn& column : Columns)
        titles << QString::fromLatin1(column.title);
    return titles;
}

CsvExportResult exportSurveyCsv(Database& db, const CsvExportOptions& options, Progress& progress)
{
    const PeriodBounds bounds = periodBounds(options.period);
    const QVariantList values{bounds.from, bounds.to};

    progress.beginStage(QStringLiteral("Counting the trees"), 0);
    const qint64 total =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Date_Evaluated BETWEEN ? AND ?"), values)
            .toLongLong();
    if (total == 0)
        return {};

    QSqlQuery q = db.query(selectStatement(), values);
    QSaveFile file(options.path);
    if (!file.open(QIODevice::WriteOnly))
        fileFailed(file);
    QStringEncoder encode(QStringEncoder::System);
    const auto flush = [&](QString& text) {
        const QByteArray bytes = encode(text);
        if (file.write(bytes) != bytes.size())
            fileFailed(file);
        text.clear();
    };

    progress.beginStage(QStringLiteral("Writing the CSV file"), total);
    progress.setCancellable(true);
    QString out;
    out.reserve(1 << 20);
    for (size_t i = 0; i < Columns.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        appendQuoted(out, QString::fromLatin1(Columns[i].title));
    }
    out += QLatin1String("\r\n");

    static const std::array<SurveyColumnKind, 44> kinds = columnKinds();
    qint64 records = 0;
    while (q.next()) {
        for (int i = 0; i < int(Columns.size()); ++i) {
            if (i > 0)
                out += QLatin1Char(',');
            appendItem(out, q.value(i), kinds[size_t(i)], Columns[size_t(i)].special);
        }
        out += QLatin1String("\r\n");
        ++records;
        if (out.size() > (1 << 19))
            flush(out);
        if (records % 1000 == 0) {
            progress.advance(records);
            if (progress.cancelRequested()) {
                file.cancelWriting();
                return {0, true};
            }
        }
    }
    if (q.lastError().isValid())
        throw DbError(q.lastError().text(), q.lastQuery());
    flush(out);
    progress.advance(records);
    progress.setCancellable(false);
    if (!file.commit())
        fileFailed(file);
    return {records, false};
}

} // namespace kolva
