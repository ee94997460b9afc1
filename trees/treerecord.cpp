#include "trees/treerecord.h"

#include "store/database.h"
#include "store/dates.h"
#include "store/numbers.h"
#include "store/surveycolumns.h"

#include <QLocale>

#include <cmath>
#include <stdexcept>

namespace kolva {

namespace {

// A column of _Archived_SurveyData as the editor binds it: the kind and
// range of the stored column, with the name the user knows it by.
TreeColumn bound(const char* name, const char* label)
{
    const SurveyColumn* column = findSurveyColumn(QLatin1String(name));
    if (!column)
        throw std::logic_error(std::string("not a survey column: ") + name);
    TreeColumn made{column->columnName(), TreeColumnKind::Text, QString::fromLatin1(label), 0, 0};
    switch (column->kind) {
    case SurveyColumnKind::Int16:
    case SurveyColumnKind::Int32:
        made.kind = TreeColumnKind::WholeNumber;
        made.minimum = surveyColumnMinimum(column->kind);
        made.maximum = surveyColumnMaximum(column->kind);
        break;
    case SurveyColumnKind::DateTime:
        made.kind = TreeColumnKind::DateTime;
        break;
    case SurveyColumnKind::Text:
    case SurveyColumnKind::Real:
    case SurveyColumnKind::YesNo:
        break;
    }
    return made;
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
        bound("Tree_ID", "Tree ID"),
        bound("StreetNum", "#/Street"),
        bound("StreetName", "Street"),
        bound("Hazard_Rating", "Risk Rating"),
        bound("Surveyor", "Surveyor"),
        bound("Date_Evaluated", "Date"),
        bound("DBH", "DBH"),
        bound("Species", "Species"),
        bound("Location", "Location"),
        bound("Site", "Site"),
        bound("Obstructions_Physical", "Phys. Obstr."),
        bound("Obstructions_Visual", "Visual Obstr."),
        bound("Utility_Conflict", "Utility Conflict"),
        bound("Crown_Canker", "Crown Canker"),
        bound("Crown_Crack", "Crown Crack"),
        bound("Crown_Deadwood", "Crown Deadwood"),
        bound("Crown_Decay", "Crown Decay"),
        bound("Crown_Arch_1", "Crown Poor Architecture"),
        bound("Crown_Arch_2", "Crown Poor Architecture"),
        bound("Crown_Arch_3", "Crown Poor Architecture"),
        bound("WeakUnion", "Weak Union"),
        bound("Trunk_Canker", "Trunk Canker"),
        bound("Trunk_Crack", "Trunk Crack"),
        bound("Trunk_Decay", "Trunk Decay"),
        bound("TrunkDecay_Shell", "Shell"),
        bound("TrunkDecay_Diam", "diameter of the trunk decay"),
        bound("TrunkDecay_Pct", "% Open"),
        bound("Trunk_Arch_1", "Trunk Poor Architecture"),
        bound("Trunk_Arch_2", "Trunk Poor Architecture"),
        bound("Roots_Deep", "Buried Deep"),
        bound("Roots_Injury", "Root Injury"),
        bound("Roots_Decay", "Root Decay"),
        bound("Roots_Arch1", "Roots Poor Architecture"),
        bound("Roots_Arch2", "Roots Poor Architecture"),
        bound("RiskZone", "Risk Zone"),
        bound("Size_Defect", "first risk question"),
        bound("Prob_Failure", "second risk question"),
        bound("Prob_TargetImpact", "third risk question"),
        bound("OtherRisk", "fourth risk question"),
        bound("Desc_OtherRisk", "description of the other risk"),
        bound("CorrectiveActions", "Corrective Actions"),
        bound("Note", "Note"),
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

void deleteTreeRecord(Database& db, qint64 id)
{
    db.exec(QStringLiteral("DELETE FROM _Archived_SurveyData WHERE ID=?"), {id});
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
