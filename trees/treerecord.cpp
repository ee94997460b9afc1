#include "trees/treerecord.h"

#include "store/database.h"
#include "store/dates.h"
#include "store/numbers.h"
#include "store/surveycolumns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

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

// A column the editor reads and checks in its own way.
TreeColumn bound(const char* name, const char* label, TreeColumnKind kind, qint64 minimum, qint64 maximum)
{
    TreeColumn made = bound(name, label);
    made.kind = kind;
    made.minimum = minimum;
    made.maximum = maximum;
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
        // Shown and checked on the Details page: the year a whole number, the
        // coordinates within the earth's.
        bound("ReinspectYear", "Reinspect Year", TreeColumnKind::YearText, 0, 9999),
        bound("Latitude", "Latitude", TreeColumnKind::Decimal, -90, 90),
        bound("Longitude", "Longitude", TreeColumnKind::Decimal, -180, 180),
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
    if (column.kind == TreeColumnKind::Decimal && stored.typeId() == QMetaType::Double)
        return QString::number(stored.toDouble(), 'g', QLocale::FloatingPointShortest);
    return stored.toString();
}

QString notADateMessage(const QString& typed)
{
    static const QRegularExpression parts(QStringLiteral(R"(^\s*(\d{1,2})[/-](\d{1,2})[/-](\d{4}|\d{2})\s*$)"));
    const QRegularExpressionMatch m = parts.match(typed);
    QString reason = QStringLiteral("type it as month/day/year, for example 05/12/2009");
    if (m.hasMatch()) {
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            year += year < 30 ? 2000 : 1900;
        const int month = m.captured(1).toInt();
        const int day = m.captured(2).toInt();
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        if (month < 1 || month > 12) {
            reason = QStringLiteral("there is no month %1").arg(month);
        } else if (day < 1 || day > QDate(year, month, 1).daysInMonth()) {
            reason = QStringLiteral("%1 %2 has %3 days")
                         .arg(english.monthName(month), QString::number(year))
                         .arg(QDate(year, month, 1).daysInMonth());
        }
    }
    return QStringLiteral("\"%1\" is not a date: %2.").arg(typed.trimmed(), reason);
}

TreeRecordRefused::TreeRecordRefused(QString column, QString userMessage)
    : InputError(userMessage), column_(std::move(column))
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
        QDate day = QDate::fromString(shown, DayFormat);
        if (!day.isValid()) {
            if (const auto typed = parseUsDateTime(shown))
                day = typed->date();
        }
        if (!day.isValid())
            throw TreeRecordRefused(column.name, QStringLiteral("The record was not saved: ") + notADateMessage(shown));
        const QDateTime before = fromDbDateTime(original);
        return toDbDateTime(QDateTime(day, before.isValid() ? before.time() : QTime(0, 0)));
    }
    case TreeColumnKind::YearText: {
        // Kept as typed, so that the reports read it: two digits ("09") or four.
        const QString trimmed = shown.trimmed();
        if (trimmed.isEmpty())
            return QVariant(QMetaType::fromType<QString>());
        if (!storedReinspectionYear(trimmed)) {
            throw TreeRecordRefused(column.name,
                                    QStringLiteral("The record was not saved: the %1 must be a year of two or four "
                                                   "digits (09 or 2009), and \"%2\" is not.")
                                        .arg(column.label, shown));
        }
        return trimmed;
    }
    case TreeColumnKind::Decimal: {
        const QString trimmed = shown.trimmed();
        if (trimmed.isEmpty())
            return QVariant(QMetaType::fromType<double>());
        bool ok = false;
        const double value = trimmed.toDouble(&ok);
        if (!ok || !std::isfinite(value) || value < double(column.minimum) || value > double(column.maximum)) {
            throw TreeRecordRefused(column.name,
                                    QStringLiteral("The record was not saved: the %1 must be a number from %2 to %3, "
                                                   "and \"%4\" is not.")
                                        .arg(column.label, QString::number(column.minimum),
                                             QString::number(column.maximum), shown));
        }
        return value;
    }
    }
    return shown;
}

QString multiLineShown(const QString& stored)
{
    QString shown = stored;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // The box breaks its lines at a paragraph separator too.
    shown.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return shown;
}

namespace {

// The index in stored of the character at index at of multiLineShown(stored)
// (or of its end).
qsizetype storedIndex(const QString& stored, qsizetype at)
{
    qsizetype s = 0;
    for (qsizetype shown = 0; shown < at && s < stored.size(); ++shown) {
        if (stored.at(s) == QLatin1Char('\r') && s + 1 < stored.size() && stored.at(s + 1) == QLatin1Char('\n'))
            s += 2;
        else
            ++s;
    }
    return s;
}

} // namespace

QString mergeEditedText(const QString& stored, const QString& shownBefore, const QString& shownNow)
{
    if (shownBefore == shownNow)
        return stored;
    // Only a text shown the known way can be merged; any other is taken as shown.
    if (multiLineShown(stored) != shownBefore)
        return shownNow;
    qsizetype prefix = 0;
    const qsizetype shortest = std::min(shownBefore.size(), shownNow.size());
    while (prefix < shortest && shownBefore.at(prefix) == shownNow.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shortest - prefix &&
           shownBefore.at(shownBefore.size() - 1 - suffix) == shownNow.at(shownNow.size() - 1 - suffix))
        ++suffix;
    // A line end of the stored text is one character on the screen: keep
    // the edit's ends off the middle of a stored "\r\n".
    const qsizetype from = storedIndex(stored, prefix);
    const qsizetype to = storedIndex(stored, shownBefore.size() - suffix);
    QString typed = shownNow.mid(prefix, shownNow.size() - suffix - prefix);
    // A line break the user typed (Shift+Enter gives a line separator) is a line end.
    typed.replace(QChar::LineSeparator, QLatin1Char('\n'));
    const qsizetype lineEnd = stored.indexOf(QLatin1Char('\r'));
    if (lineEnd >= 0) {
        const bool crlf = lineEnd + 1 < stored.size() && stored.at(lineEnd + 1) == QLatin1Char('\n');
        typed.replace(QLatin1Char('\n'), crlf ? QStringLiteral("\r\n") : QStringLiteral("\r"));
    }
    return stored.left(from) + typed + stored.mid(to);
}

namespace {

bool sameStoredValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const auto numeric = [](const QVariant& v) {
        const int type = v.typeId();
        return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Double ||
               type == QMetaType::UInt || type == QMetaType::ULongLong;
    };
    if (numeric(a) && numeric(b))
        return a.toDouble() == b.toDouble();
    if (numeric(a) != numeric(b))
        return false;
    return a.toString() == b.toString();
}

} // namespace

TreeRecordChanged::TreeRecordChanged(std::vector<TreeFieldConflict> conflicts)
    : TreeRecordRefused(conflicts.empty() ? QString() : conflicts.front().column,
                        treeRecordChangedMessage(conflicts).text),
      conflicts_(std::move(conflicts))
{
}

namespace {

QString conflictValue(const QString& column, const QVariant& value)
{
    const TreeColumn* bound = findTreeColumn(column);
    const QString shown = bound ? shownValue(*bound, value) : fieldText(value);
    return shown.isEmpty() ? QStringLiteral("(empty)") : QStringLiteral("\"%1\"").arg(shown);
}

QString whoAndWhen(const std::optional<HistoryEntry>& entry)
{
    if (!entry)
        return QStringLiteral("changed by another program (the record's history does not tell)");
    return QStringLiteral("changed by %1 on %2")
        .arg(entry->changedBy, shownDateTime(entry->changedAt));
}

} // namespace

MessageRequest treeRecordChangedMessage(const std::vector<TreeFieldConflict>& conflicts)
{
    QStringList lines;
    for (const TreeFieldConflict& c : conflicts) {
        const TreeColumn* column = findTreeColumn(c.column);
        lines << QStringLiteral("%1: now %2, shown as %3; %4.")
                     .arg(column ? column->label : c.column, conflictValue(c.column, c.stored),
                          conflictValue(c.column, c.shown), whoAndWhen(c.change));
    }
    QString text = QStringLiteral("The record was not saved: it was changed in the database since it was shown here.");
    if (!lines.isEmpty())
        text += QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
    text += QStringLiteral("\n\nShow the record as it is stored now? Your changes of it are then discarded.\n"
                           "No keeps your changes on the screen; saving again then stores them over the other "
                           "change.");
    return {text, recordNotSavedCaption(), MsgIcon::Exclamation, MsgButtons::YesNo, MsgAnswer::Yes};
}

QString deletedBy(Database& db, qint64 id)
{
    const std::vector<HistoryEntry> history = readSurveyHistory(db, id);
    const auto deleted = std::find_if(history.rbegin(), history.rend(),
                                      [](const HistoryEntry& e) { return e.action == QLatin1String("deleted"); });
    if (deleted == history.rend())
        return {};
    return QStringLiteral("deleted by %1 on %2").arg(deleted->changedBy, shownDateTime(deleted->changedAt));
}

QString recordGoneMessage(Database& db, qint64 id)
{
    QString text = QStringLiteral("The record could not be read: it is no longer in the database");
    QString deleted;
    try {
        deleted = deletedBy(db, id);
    } catch (const DbError& error) {
        qWarning("history of record %lld not read: %s", id, qPrintable(error.message()));
    }
    text += deleted.isEmpty() ? QStringLiteral(" (another window or program deleted it)")
                              : QStringLiteral(" (%1)").arg(deleted);
    return text + QStringLiteral(". Press Refresh to read the list again.");
}

QString recordNotReadMessage(const DbError& error)
{
    if (isConnectionLost(error))
        return QStringLiteral("The record could not be read.\n\n%1\n\nTry again once the server can be reached.")
            .arg(error.message());
    if (isDatabaseLocked(error))
        return QStringLiteral("The record could not be read: the database is in use by another program, which "
                              "keeps it locked. Nothing was changed; try again in a moment.\n\n%1")
            .arg(error.message());
    return QStringLiteral("The record could not be read: the database reported an error. Nothing was changed.\n\n%1")
        .arg(error.message());
}

TreeRecord writeTreeRecord(Database& db, qint64 id, const std::vector<std::pair<QString, QVariant>>& values,
                           const TreeRecord& read, const HistoryStamp& stamp)
{
    if (values.empty())
        return {};
    QStringList names;
    QStringList assignments;
    QStringList unchanged;
    QVariantList bound;
    QVariantList expected;
    for (const auto& [name, value] : values) {
        const TreeColumn* column = findTreeColumn(name);
        if (!column)
            throw std::logic_error("not a column of the Tree editor: " + name.toStdString());
        names << name;
        assignments << name + QStringLiteral("=?");
        bound << value;
        const bool number = column->kind == TreeColumnKind::WholeNumber || column->kind == TreeColumnKind::Decimal;
        unchanged << holdsExactly(db, name, number ? ExactValue::Other : ExactValue::Text);
        const auto was = read.find(name);
        expected << (was == read.end() ? QVariant() : was->second);
    }
    bound << id;
    bound += expected;
    const QString columns = names.join(QLatin1Char(','));
    try {
        Transaction transaction(db);
        // The row is held from here to the commit: another saving of it waits.
        QSqlQuery before = db.query(
            QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE ID=?").arg(columns) + lockingRead(db), {id});
        if (!before.next()) {
            const QString deleted = deletedBy(db, id);
            throw TreeRecordRefused({}, QStringLiteral("The record was not saved: it is no longer in the database") +
                                            (deleted.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(deleted)) +
                                            QLatin1Char('.'));
        }
        std::vector<FieldChange> changes;
        std::vector<std::pair<QString, QVariant>> now;
        for (int i = 0; i < names.size(); ++i) {
            const QVariant old = before.value(i);
            now.emplace_back(names.at(i), old);
            if (!sameStoredValue(old, values[size_t(i)].second))
                changes.push_back({names.at(i), old, values[size_t(i)].second});
        }
        before.finish();
        // The fields are written only where they still hold what was read.
        const int written = db.exec(QStringLiteral("UPDATE _Archived_SurveyData SET %1 WHERE ID=? AND %2")
                                        .arg(assignments.join(QLatin1Char(',')), unchanged.join(QStringLiteral(" AND "))),
                                    bound);
        if (written != 1) {
            const std::vector<HistoryEntry> history = readSurveyHistory(db, id);
            std::vector<TreeFieldConflict> conflicts;
            for (size_t i = 0; i < now.size(); ++i) {
                const QVariant& shown = expected.at(qsizetype(i));
                if (sameStoredValue(now[i].second, shown) && now[i].second.toString() == shown.toString())
                    continue;
                TreeFieldConflict conflict{now[i].first, shown, now[i].second, std::nullopt};
                for (auto e = history.rbegin(); e != history.rend(); ++e) {
                    if (e->action == QLatin1String("changed") && e->field == conflict.column) {
                        conflict.change = *e;
                        break;
                    }
                }
                conflicts.push_back(std::move(conflict));
            }
            throw TreeRecordChanged(std::move(conflicts));
        }
        recordFieldChanges(db, id, changes, stamp);
        TreeRecord stored;
        QSqlQuery after = db.query(QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE ID=?").arg(columns), {id});
        if (after.next()) {
            for (int i = 0; i < names.size(); ++i)
                stored[names.at(i)] = after.value(i);
        }
        after.finish();
        transaction.commit();
        return stored;
    } catch (const DbError& error) {
        if (isConnectionLost(error))
            throw TreeRecordRefused({}, QStringLiteral("The record was not saved: nothing of it was written.\n\n%1")
                                            .arg(error.message()));
        if (isDatabaseLocked(error))
            throw TreeRecordRefused({}, QStringLiteral("The record was not saved: the database is in use by another "
                                                       "program, which keeps it locked. Try again in a moment.\n\n%1")
                                            .arg(error.message()));
        throw TreeRecordRefused({}, QStringLiteral("The record was not saved: the database refused it.\n\n%1")
                                        .arg(error.message()));
    }
}

bool deleteTreeRecord(Database& db, qint64 id, const HistoryStamp& stamp)
{
    Transaction transaction(db);
    const QString whole = readableSurveyRecord(db, id);
    if (whole.isEmpty())
        return false;
    recordDeletion(db, id, whole, stamp);
    db.exec(QStringLiteral("DELETE FROM _Archived_SurveyData WHERE ID=?"), {id});
    transaction.commit();
    return true;
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

QString correctiveActionText(const CorrectiveActionBoxes& boxes, const QString& stored)
{
    std::vector<std::pair<double, QString>> numbered;
    QStringList unnumbered;
    for (int i = 0; i < CorrectiveActionCount; ++i) {
        if (boxes[size_t(i)])
            numbered.emplace_back(i + 1, QString::number(i + 1));
    }
    for (const QString& piece : stored.split(QLatin1Char(','))) {
        const QString kept = piece.trimmed();
        if (kept.isEmpty())
            continue;
        const double code = leadingNumber(kept);
        if (code == std::trunc(code) && code >= 1 && code <= CorrectiveActionCount)
            continue; // a box stands for it
        bool isNumber = false;
        kept.toDouble(&isNumber);
        if (isNumber)
            numbered.emplace_back(code, kept);
        else
            unnumbered << kept;
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList pieces;
    for (const auto& [code, text] : numbered) {
        if (!pieces.contains(text))
            pieces << text;
    }
    for (const QString& text : unnumbered) {
        if (!pieces.contains(text))
            pieces << text;
    }
    return pieces.join(QLatin1Char(','));
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
    const QString day = when.isValid() ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                 .toString(when.date(), QStringLiteral("dddd, "))
                                             + shownDate(when.date())
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

QString deletedRecordSummary(const QString& wholeRecord)
{
    std::map<QString, QVariant> fields;
    for (const QString& line : wholeRecord.split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        if (colon <= 0)
            continue;
        const QJsonDocument value = QJsonDocument::fromJson("[" + line.mid(colon + 2).toUtf8() + "]");
        if (value.isArray() && !value.array().isEmpty())
            fields[line.left(colon)] = value.array().at(0).toVariant();
    }
    const auto text = [&fields](const char* name) {
        const auto found = fields.find(QString::fromLatin1(name));
        return found == fields.end() || found->second.isNull() ? QString() : found->second.toString();
    };
    QStringList parts;
    parts << QStringLiteral("Tree ID ") + text("Tree_ID");
    if (!text("Species").isEmpty())
        parts << text("Species");
    if (!text("DBH").isEmpty())
        parts << QStringLiteral("DBH ") + text("DBH");
    if (const QDateTime when = fromDbDateTime(text("Date_Evaluated")); when.isValid())
        parts << shownDate(when.date());
    const QString address = (text("StreetNum") + QLatin1Char(' ') + text("StreetName")).trimmed();
    if (!address.isEmpty())
        parts << address;
    return parts.join(QStringLiteral(", "));
}

QString formatEntryCount(qint64 count)
{
    return groupThousands(count);
}

} // namespace kolva
