#pragma once
// The history of every survey record (_Survey_History): who changed which
// field from what to what and when, which records an import brought, and
// the whole of every deleted record. The writers run inside the caller's
// transaction, so that the history and the change it tells of are stored
// together or not at all.

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <vector>

namespace kolva {

class Database;

// The name of the user the operating system runs the program for.
QString operatingSystemUser();

// Who changes the records, and when.
struct HistoryStamp {
    QDateTime when;
    QString who;
};

// One field of one record changed from oldValue to newValue.
struct FieldChange {
    QString field;
    QVariant oldValue;
    QVariant newValue;
};

// One 'changed' row per field.
void recordFieldChanges(Database& db, qint64 surveyId, const std::vector<FieldChange>& changes,
                        const HistoryStamp& stamp);
// One 'imported' row for a record an import added.
void recordImport(Database& db, qint64 surveyId, const HistoryStamp& stamp);
// One 'deleted' row that keeps the whole record as readableRecord() wrote it.
void recordDeletion(Database& db, qint64 surveyId, const QString& wholeRecord, const HistoryStamp& stamp);

// A record as "Field: value" lines in the order given, each value exact:
// a text in double quotes with JSON escapes, a number as it is, "null".
QString readableRecord(const std::vector<std::pair<QString, QVariant>>& fields);

// Every column of a survey record as readableRecord() writes it; empty when
// the record is not there.
QString readableSurveyRecord(Database& db, qint64 surveyId);

struct HistoryEntry {
    qint64 id = 0;
    qint64 surveyId = 0;
    QString action; // "imported", "changed", "deleted", "converted"
    QString field;
    QVariant oldValue;
    QVariant newValue;
    QDateTime changedAt;
    QString changedBy;
};

// The history of one record, oldest first.
std::vector<HistoryEntry> readSurveyHistory(Database& db, qint64 surveyId);
// The deleted records, the latest deletion first.
std::vector<HistoryEntry> readDeletedRecords(Database& db);

} // namespace kolva
