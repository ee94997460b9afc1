#include "trees/treerecord.h"

#include "store/database.h"
#include "store/dates.h"
#include "store/numbers.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace kolva {

namespace {

constexpr qint64 Int16Min = std::numeric_limits<qint16>::min();
constexpr qint64 Int16Max = std::numeric_limits<qint16>::max();
constexpr qint64 Int32Min = std::numeric_limits<qint32>::min();
constexpr qint64 Int32Max = std::numeric_limits<qint32>::max();

TreeColumn text(const char* name, const char* label)
{
    return {QString::fromLatin1(name), TreeColumnKind::Text, QString::fromLatin1(label), 0, 0};
}

TreeColumn number(const char* name, const char* label, qint64 minimum, qint64 maximum)
{
    return {QString::fromLatin1(name), TreeColumnKind::WholeNumber, QString::fromLatin1(label), minimum, maximum};
}

const QString DayFormat = QStringLiteral("yyyy-MM-dd");

QString groupThousands(qint64 value)
{
    QString digits = QString::number(value < 0 ? -value : value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

QString fieldText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

const std::vector<TreeColumn>& boundTreeColumns()
{
    static const std::vector<TreeColumn> columns = {
        number("Tree_ID", "Tree ID", Int32Min, Int32Max),
        text("StreetNum", "#/Street"),
        text("StreetName", "Street"),
        number("Hazard_Rating", "Risk Rating", Int16Min, Int16Max),
        text("Surveyor", "Surveyor"),
        {QStringLiteral("Date_Evaluated"), TreeColumnKind::DateTime, QStringLiteral("Date"), 0, 0},
        number("DBH", "DBH", Int16Min, Int16Max),
        text("Species", "Species"),
        text("Location", "Location"),
        text("Site", "Site"),
        text("Obstructions_Physical", "Phys. Obstr."),
        text("Obstructions_Visual", "Visual Obstr."),
        text("Utility_Conflict", "Utility Conflict"),
        text("Crown_Canker", "Crown Canker"),
        text("Crown_Crack", "Crown Crack"),
        text("Crown_Deadwood", "Crown Deadwood"),
        text("Crown_Decay", "Crown Decay"),
        text("Crown_Arch_1", "Crown Poor Architecture"),
        text("Crown_Arch_2", "Crown Poor Architecture"),
        text("Crown_Arch_3", "Crown Poor Architecture"),
        text("WeakUnion", "Weak Union"),
        text("Trunk_Canker", "Trunk Canker"),
        text("Trunk_Crack", "Trunk Crack"),
        text("Trunk_Decay", "Trunk Decay"),
        number("TrunkDecay_Shell", "Shell", Int16Min, Int16Max),
        number("TrunkDecay_Diam", "diameter of the trunk decay", Int16Min, Int16Max),
        number("TrunkDecay_Pct", "% Open", Int16Min, Int16Max),
        text("Trunk_Arch_1", "Trunk Poor Architecture"),
        text("Trunk_Arch_2", "Trunk Poor Architecture"),
        text("Roots_Deep", "Buried Deep"),
        text("Roots_Injury", "Root Injury"),
        text("Roots_Decay", "Root Decay"),
        text("Roots_Arch1", "Roots Poor Architecture"),
        text("Roots_Arch2", "Roots Poor Architecture"),
        text("RiskZone", "Risk Zone"),
        text("Size_Defect", "first risk question"),
        text("Prob_Failure", "second risk question"),
        text("Prob_TargetImpact", "third risk question"),
        text("OtherRisk", "fourth risk question"),
        text("Desc_OtherRisk", "description of the other risk"),
        text("CorrectiveActions", "Corrective Actions"),
        text("Note", "Note"),
    };
    return columns;
}

const TreeColumn* findTreeColumn(const QString& name)
{
    for (const TreeColumn& column : boundTreeColumns()) {
        if (column.name == name)
            return &column;
    }
    return nullptr;
}

std::optional<TreeRecord> readTreeRecord(Database& db, qint64 id)
{
    QStringList names;
    for (const TreeColumn& column : boundTreeColumns())
        names << column.name;
    QSqlQuery query = db.query(
        QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE ID=?").arg(names.join(QLatin1Char(','))), {id});
    if (!query.next())
        return std::nullopt;
    TreeRecord record;
    for (int i = 0; i < names.size(); ++i)
        record[names.at(i)] = query.value(i);
    return record;
}

QString shownValue(const TreeColumn& column, const QVariant& stored)
{
    if (stored.isNull())
        return {};
    if (column.kind == TreeColumnKind::DateTime) {
        const QDateTime when = fromDbDateTime(stored);
        return when.isValid() ? when.date().toString(DayFormat) : QString();
    }
    return stored.toString();
}

TreeRecordRefused::TreeRecordRefused(QString column, QString userMessage)
    : std::runtime_error(userMessage.toStdString()), column_(std::move(column)), userMessage_(std::move(userMessage))
{
}

QVariant storedValue(const TreeColumn& column, const QString& shown, const QVariant& original)
{
    switch (column.kind) {
    case TreeColumnKind::Text:
        return shown;
    case TreeColumnKind::WholeNumber: {
        const QString trimmed = shown.trimmed();
        if (trimmed.isEmpty())
            return QVariant(QMetaType::fromType<qlonglong>());
        bool ok = false;
        qlonglong whole = trimmed.toLongLong(&ok);
        if (!ok) {
            // "14." and "14.0" are whole; "14.5" is not.
            const double value = trimmed.toDouble(&ok);
            if (ok && std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.0e15) {
                whole = static_cast<qlonglong>(value);
            } else {
                ok = false;
            }
        }
        if (!ok || whole < column.minimum || whole > column.maximum) {
            throw TreeRecordRefused(
                column.name, QStringLiteral("The record was not saved: the %1 must be a whole number from %2 to "
                                            "%3, and \"%4\" is not.")
                                 .arg(column.label, groupThousands(column.minimum), groupThousands(column.maximum),
                                      shown));
        }
        return whole;
    }
    case TreeColumnKind::DateTime: {
        if (shown.trimmed().isEmpty())
            return QVariant(QMetaType::fromType<QString>());
        const QDate day = QDate::fromString(shown, DayFormat);
        if (!day.isValid()) {
            throw TreeRecordRefused(column.name,
                                    QStringLiteral("The record was not saved: \"%1\" is not a date.").arg(shown));
        }
        const QDateTime before = fromDbDateTime(original);
        return toDbDateTime(QDateTime(day, before.isValid() ? before.time() : QTime(0, 0)));
    }
    }
    return shown;
}

void writeTreeRecord(Database& db, qint64 id, const std::vector<std::pair<QString, QVariant>>& values)
{
    if (values.empty())
        return;
    QStringList assignments;
    QVariantList bound;
    for (const auto& [name, value] : values) {
        if (!findTreeColumn(name))
            throw std::logic_error("not a column of the Tree editor: " + name.toStdString());
        assignments << name + QStringLiteral("=?");
        bound << value;
    }
    bound << id;
    int changed = 0;
    try {
        changed = db.exec(QStringLiteral("UPDATE _Archived_SurveyData SET %1 WHERE ID=?")
                              .arg(assignments.join(QLatin1Char(','))),
                          bound);
    } catch (const DbError& error) {
        throw TreeRecordRefused({}, QStringLiteral("The record was not saved: the database refused it.\n\n%1")
                                        .arg(error.message()));
    }
    if (changed == 0)
        throw TreeRecordRefused({}, QStringLiteral("The record was not saved: it is no longer in the database."));
}

QString recordNotSavedCaption()
{
    return QStringLiteral("Record Not Saved");
}

TreeCheck checkTreeRecord(const QString& treeIdText, const QString& surveyorText)
{
    if (treeIdText.isEmpty())
        return TreeCheck::MissingTreeId;
    if (surveyorText.isEmpty())
        return TreeCheck::MissingSurveyor;
    return TreeCheck::Ok;
}

MessageRequest treeCheckMessage(TreeCheck check)
{
    switch (check) {
    case TreeCheck::MissingTreeId:
        return {QStringLiteral("Please enter a Tree ID"), QStringLiteral("Missing ID"), MsgIcon::Exclamation,
                MsgButtons::Ok, MsgAnswer::Ok};
    case TreeCheck::MissingSurveyor:
        return {QStringLiteral("Please enter a Surveyor"), QStringLiteral("Missing Surveyor"), MsgIcon::Exclamation,
                MsgButtons::Ok, MsgAnswer::Ok};
    case TreeCheck::Ok:
        break;
    }
    return {};
}

QString riskRatingText(const std::array<QString, 4>& answers)
{
    int rating = 0;
    for (const QString& answer : answers) {
        if (answer.isEmpty())
            continue;
        const QChar first = answer.at(0);
        if (first < QLatin1Char('0') || first > QLatin1Char('9'))
            return QStringLiteral("0");
        rating += first.unicode() - '0';
    }
    return QString::number(rating);
}

QString correctiveActionText(const CorrectiveActionBoxes& boxes)
{
    QString text;
    for (int i = 0; i < CorrectiveActionCount; ++i) {
        if (!boxes[i])
            continue;
        if (!text.isEmpty())
            text += QLatin1Char(',');
        text += QString::number(i + 1);
    }
    return text;
}

CorrectiveActionBoxes correctiveActionBoxes(const QString& stored)
{
    CorrectiveActionBoxes boxes{};
    if (stored.isEmpty())
        return boxes;
    const QStringList pieces = stored.split(QLatin1Char(','));
    for (const QString& piece : pieces) {
        const double code = leadingNumber(piece);
        for (int i = 0; i < CorrectiveActionCount; ++i) {
            if (code == i + 1)
                boxes[i] = true;
        }
    }
    return boxes;
}

QString deleteTreeQuestion(const QVariant& treeId, const QVariant& species, const QVariant& dbh,
                           const QVariant& dateEvaluated)
{
    const QDateTime when = fromDbDateTime(dateEvaluated);
    const QString day = when.isValid()
                            ? QLocale(QLocale::English, QLocale::UnitedStates).toString(when.date(), QStringLiteral("dddd, MM/dd/yyyy"))
                            : QString();
    return QStringLiteral("Delete Tree ID:") + fieldText(treeId) + QStringLiteral(", (") + fieldText(species) +
           QStringLiteral(" DBH=") + fieldText(dbh) + QStringLiteral(")\nsurveyed on ") + day + QStringLiteral("?");
}

MessageRequest deleteTreeMessage(const QVariant& treeId, const QVariant& species, const QVariant& dbh,
                                 const QVariant& dateEvaluated)
{
    return {deleteTreeQuestion(treeId, species, dbh, dateEvaluated), QStringLiteral("Confirm Delete"),
            MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No};
}

QString formatEntryCount(qint64 count)
{
    return groupThousands(count);
}

} // namespace kolva
