#include "store/conversion.h"
#include "store/conversionserver.h"
#include "store/safefile.h"

#include "platform/jobprogress.h"
#include "store/accessfile.h"
#include "store/accessvalue.h"
#include "store/database.h"
#include "store/dates.h"
#include "store/kolvadb.h"
#include "store/localfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kolva {

namespace {

// The tables of the data model, in the order they are copied, with the
// names the closing message gives them.
struct ModelTable {
    const char* table;
    const char* label;
};
constexpr ModelTable dataModelTables[] = {
    {"_Archived_SurveyData", "Survey records"},
    {"Surveyors", "Surveyors"},
    {"Species", "Species"},
    {"RiskZone", "Risk zones"},
    {"Risk_Rating", "Risk questions"},
    {"_Streets_Master", "Streets"},
    {"Streets_PDA", "Streets for the card"},
    {"_tblCorrAction", "Corrective actions"},
    {"_tblCosts", "Cost table"},
};
// The tables a KOLVA file has beyond the data model, copied with it onto a
// server.
constexpr ModelTable fileTables[] = {
    {"_Survey_History", "Survey record history"},
    {"_Imported_Files", "Imported card files"},
    {"_tblMobilization", "Mobilization cost"},
};
// Made afresh by the cost summary each time: nothing in it to keep.
constexpr const char* scratchTables[] = {"_tmp_Cost_Report"};

constexpr int notesPerKind = 20;

struct TargetColumn {
    QString name;
    StoredKind kind = StoredKind::Text;
    int accessIndex = -1; // the Access file's column, or -1 when it has none
    AccessType accessType = AccessType::Other;
};

QString native(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// A database as a message names it: a file's full path, a server's URI.
QString shownDatabase(const QString& pathOrUri)
{
    return isServerDatabaseUri(pathOrUri) ? pathOrUri : native(pathOrUri);
}

// Column names as the schema writes them; the server gives them in lower case.
bool sameName(const QString& name, const char* schemaName)
{
    return name.compare(QLatin1String(schemaName), Qt::CaseInsensitive) == 0;
}

int indexOfName(const QStringList& names, const char* schemaName)
{
    for (int i = 0; i < names.size(); ++i) {
        if (sameName(names[i], schemaName))
            return i;
    }
    return -1;
}

QList<TargetColumn> targetColumns(Database& db, const QString& table)
{
    QList<TargetColumn> columns;
    for (const TableColumn& found : tableColumns(db, table)) {
        TargetColumn column;
        column.name = found.name;
        if (sameName(column.name, "Date_Evaluated") || sameName(column.name, "Date_Added"))
            column.kind = StoredKind::Date;
        else if (sameName(column.name, "Report_Flag") || sameName(column.name, "SendToPDA"))
            column.kind = StoredKind::Flag;
        else if (found.type == ColumnType::Integer)
            column.kind = StoredKind::Integer;
        else if (found.type == ColumnType::Real)
            column.kind = StoredKind::Real;
        columns.append(column);
    }
    return columns;
}

// A running digest of the values written to a table, to compare with the
// same table read back from the new file.
class ValueDigest {
public:
    void add(const QVariant& value)
    {
        if (value.isNull()) {
            mix("N", 1);
            return;
        }
        switch (value.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::ULongLong: // the server's BIGINT when not negative
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Bool: {
            const qint64 n = value.toLongLong();
            mix("I", 1);
            mix(&n, sizeof n);
            break;
        }
        case QMetaType::Double: {
            const double d = value.toDouble();
            mix("R", 1);
            mix(&d, sizeof d);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            mix("B", 1);
            mix(bytes.constData(), size_t(bytes.size()));
            mix("|", 1);
            break;
        }
        default: {
            const QString text = value.toString();
            mix("T", 1);
            mix(text.constData(), size_t(text.size()) * sizeof(QChar));
            mix("|", 1);
            break;
        }
        }
    }
    quint64 value() const { return hash_; }

private:
    void mix(const void* data, size_t size)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash_ ^= p[i];
            hash_ *= 1099511628211ull;
        }
    }
    quint64 hash_ = 14695981039346656037ull;
};

// For the tests of an interrupted conversion: the process stops itself
// (SIGSTOP) or dies (SIGKILL) at the named step when the environment asks.
void testStop(const char* step)
{
    if (qEnvironmentVariable("KOLVA_TEST_CONVERSION_STOP_AT") == QLatin1String(step))
        ::raise(SIGSTOP);
    if (qEnvironmentVariable("KOLVA_TEST_CONVERSION_KILL_AT") == QLatin1String(step))
        ::raise(SIGKILL);
}

bool syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void syncFolder(const QString& folder)
{
    syncFile(folder); // a folder opened read-only can be synced on Linux
}

struct TableCopy {
    int index = 0; // in dataModelTables and the result's tables
    QString accessName; // the table's name in the Access file
    QList<TargetColumn> columns; // those filled from the Access file
    quint64 digest = 0;
};

class Converter {
public:
    Converter(const ConversionRequest& request, Progress& progress) : request_(request), progress_(progress) {}

    ConversionResult run();

private:
    [[noreturn]] void failed(const QString& what) const
    {
        QString text = result_.fromKolvaFile
                           ? QStringLiteral("The copy of the database\n%1\nfailed: %2\n\nThe database file has not "
                                            "been changed.")
                           : QStringLiteral("The conversion of the Access database\n%1\nfailed: %2\n\n"
                                            "The Access file has not been changed.");
        text = text.arg(native(request_.accessPath), what);
        if (!serverName_.isEmpty())
            text += QStringLiteral(" Nothing was written to the database %1.").arg(serverName_);
        throw ConversionFailed(text);
    }
    void checkCancel() const
    {
        if (progress_.cancelRequested())
            throw ConversionCancelled();
    }
    void note(const QString& kind, const QString& text)
    {
        const int n = ++noteCounts_[kind];
        if (n <= notesPerKind)
            result_.notes.append(text);
        else if (n == notesPerKind + 1)
            result_.notes.append(QStringLiteral("(more of these are not listed)"));
    }

    void planTables(AccessFile& access, Database& db);
    void copyTable(AccessFile& access, Database& db, TableCopy& copy, ConvertedTable& counts);
    void checkTable(Database& db, const TableCopy& copy, const ConvertedTable& counts);
    QString logText() const;
    // Opens the log at result_.logPath with the earlier lines and this
    // conversion's; the caller commits it once the new database is saved.
    void writeLog(SafeFileWriter& log);

    // Onto a server database.
    std::unique_ptr<Database> openServer();
    void prepareServer(Database& db);
    ConversionResult accessToServer(AccessFile& access);
    ConversionResult kolvaFileToServer(const QString& path);
    void copyFileTable(Database& file, Database& server, TableCopy& copy, ConvertedTable& counts);
    void finishOnServer(Database& db, Transaction& transaction, const QHash<QString, qint64>& keysGiven);
    void putInPlace(const QString& accessPath, const QString& temp);
    void keepOwnership(int fd, const struct stat& access);

    const ConversionRequest& request_;
    Progress& progress_;
    ConversionResult result_;
    std::vector<TableCopy> copies_;
    QHash<QString, int> noteCounts_;
    QString accessFormat_;
    // A server database: its URI (without a password) and how to reach it.
    QString serverName_;
    DatabaseTarget server_;
};

void Converter::planTables(AccessFile& access, Database& db)
{
    const QStringList accessTables = access.tableNames();
    QSet<QString> known;
    for (const ModelTable& model : dataModelTables) {
        const QString name = QString::fromLatin1(model.table);
        known.insert(name.toLower());
        ConvertedTable counts;
        counts.table = name;
        counts.label = QString::fromLatin1(model.label);
        QString accessName;
        for (const QString& t : accessTables) {
            if (t.compare(name, Qt::CaseInsensitive) == 0)
                accessName = t;
        }
        counts.inAccessFile = !accessName.isEmpty();
        result_.tables.append(counts);
        if (accessName.isEmpty()) {
            note(QStringLiteral("missing table"),
                 QStringLiteral("%1: the Access file has no table %2; the list KOLVA is supplied with is kept.")
                     .arg(counts.label, name));
            continue;
        }
        TableCopy copy;
        copy.index = static_cast<int>(result_.tables.size()) - 1;
        copy.accessName = accessName;
        const QList<AccessColumn> accessColumns = access.columns(accessName);
        if (accessColumns.isEmpty())
            failed(QStringLiteral("the table %1 cannot be read: the file is damaged or cut short.").arg(accessName));
        QSet<int> used;
        for (TargetColumn column : targetColumns(db, name)) {
            for (int i = 0; i < accessColumns.size(); ++i) {
                if (accessColumns[i].name.compare(column.name, Qt::CaseInsensitive) == 0) {
                    column.accessIndex = i;
                    column.accessType = accessColumns[i].type;
                }
            }
            if (column.accessIndex < 0) {
                note(QStringLiteral("missing column"),
                     QStringLiteral("%1: the Access file has no column %2; it is left empty.").arg(counts.label, column.name));
                continue;
            }
            if (column.accessType == AccessType::Other)
                failed(QStringLiteral("the column %1 of the table %2 holds a kind of value KOLVA cannot convert.")
                           .arg(accessColumns[column.accessIndex].name, accessName));
            used.insert(column.accessIndex);
            copy.columns.append(column);
        }
        for (int i = 0; i < accessColumns.size(); ++i) {
            if (!used.contains(i))
                note(QStringLiteral("extra column"),
                     QStringLiteral("%1: the column %2 of the Access file is not part of KOLVA's data and was left "
                                    "behind.")
                         .arg(counts.label, accessColumns[i].name));
        }
        if (copy.columns.isEmpty())
            failed(QStringLiteral("the table %1 has none of the columns KOLVA knows.").arg(accessName));
        copies_.push_back(copy);
    }
    for (const QString& t : accessTables) {
        if (known.contains(t.toLower()))
            continue;
        bool scratch = false;
        for (const char* s : scratchTables)
            scratch = scratch || t.compare(QLatin1String(s), Qt::CaseInsensitive) == 0;
        if (scratch)
            continue;
        note(QStringLiteral("extra table"),
             QStringLiteral("The table %1 of the Access file (%2 rows) is not part of KOLVA's data and was left behind.")
                 .arg(t)
                 .arg(access.rowCount(t)));
    }
}

void Converter::copyTable(AccessFile& access, Database& db, TableCopy& copy, ConvertedTable& counts)
{
    const QString table = counts.table;
    const bool isSurvey = table == QLatin1String("_Archived_SurveyData");
    const bool isStreets = table == QLatin1String("_Streets_Master");
    const qint64 total = access.rowCount(copy.accessName);
    progress_.beginStage(QStringLiteral("Copying %1").arg(counts.label.toLower()), total);

    // The columns named by our own schema, never by the Access file.
    QStringList names;
    int idIndex = -1;
    for (int i = 0; i < copy.columns.size(); ++i) {
        names << copy.columns[i].name;
        if (sameName(copy.columns[i].name, "ID"))
            idIndex = copy.columns[i].accessIndex;
    }
    db.exec(QStringLiteral("DELETE FROM %1").arg(table));
    BatchInsert insert(db, table, names);

    ValueDigest digest;
    qint64 row = 0;
    QVariantList values(copy.columns.size());
    const auto whichRow = [&](const QVariantList& accessRow) {
        if (idIndex >= 0 && !accessRow[idIndex].isNull())
            return QStringLiteral("the row with ID %1").arg(accessRow[idIndex].toLongLong());
        return QStringLiteral("row %1").arg(row + 1);
    };
    const auto convertRow = [&](const QVariantList& accessRow) {
        for (int i = 0; i < copy.columns.size(); ++i) {
            const TargetColumn& column = copy.columns[i];
            try {
                values[i] = storedValue(accessRow[column.accessIndex], column.accessType, column.kind);
            } catch (const UnfitValue& unfit) {
                failed(QStringLiteral("%1 of the table %2: the value of %3 cannot be converted: %4.")
                           .arg(whichRow(accessRow), copy.accessName, column.name, unfit.reason));
            }
            if (column.kind == StoredKind::Date && !values[i].isNull()) {
                const int year = QStringView(values[i].toString()).left(4).toInt();
                if (year < 1900 || year > 2100)
                    note(QStringLiteral("date"),
                         QStringLiteral("%1, %2: %3 is %4, outside 1900 to 2100; it is kept as stored.")
                             .arg(counts.label, whichRow(accessRow), column.name, values[i].toString()));
            }
        }
    };
    const auto refused = [&](const DbError& error, const QVariantList& accessRow) {
        // Rows go to a server many at a time: the statement's rows are named.
        const QString which = insert.rowsPerStatement() == 1 && !accessRow.isEmpty()
                                  ? whichRow(accessRow)
                                  : QStringLiteral("one of the rows %1 to %2")
                                        .arg(insert.firstRowOfStatement())
                                        .arg(insert.lastRowOfStatement());
        failed(QStringLiteral("%1 of the table %2 could not be written to the new database: %3")
                   .arg(which, copy.accessName, error.message()));
    };
    const auto write = [&](const QVariantList& accessRow) {
        for (int i = 0; i < values.size(); ++i)
            digest.add(values[i]);
        try {
            insert.add(values);
        } catch (const DbError& error) {
            refused(error, accessRow);
        }
    };

    if (isStreets) {
        // A street is known once; a name the earlier version kept twice
        // becomes one street, ticked for the card if either was.
        std::vector<QVariantList> streets;
        std::vector<QVariantList> sources;
        QHash<QString, size_t> byName;
        const int nameAt = indexOfName(names, "StreetName");
        const int flagAt = indexOfName(names, "SendToPDA");
        access.readRows(copy.accessName, [&](const QVariantList& accessRow) {
            convertRow(accessRow);
            const QString key = nameAt >= 0 && !values[nameAt].isNull() ? values[nameAt].toString().toCaseFolded()
                                                                          : QString();
            const auto found = key.isNull() ? byName.end() : byName.find(key);
            if (found != byName.end()) {
                QVariantList& kept = streets[found.value()];
                if (flagAt >= 0 && values[flagAt].toLongLong() == 1)
                    kept[flagAt] = QVariant(qlonglong(1));
                note(QStringLiteral("duplicate street"),
                     QStringLiteral("Streets: %1 is listed twice; the two are kept as one street.")
                         .arg(values[nameAt].toString()));
            } else {
                if (!key.isNull())
                    byName.insert(key, streets.size());
                streets.push_back(values);
                sources.push_back(accessRow);
            }
            progress_.advance(++row);
        });
        counts.read = row;
        for (size_t i = 0; i < streets.size(); ++i) {
            values = streets[i];
            write(sources[i]);
        }
    } else {
        counts.read = access.readRows(copy.accessName, [&](const QVariantList& accessRow) {
            convertRow(accessRow);
            write(accessRow);
            ++row;
            if ((row & 255) == 0) {
                progress_.advance(row);
                checkCancel();
            }
        });
    }
    try {
        insert.finish();
    } catch (const DbError& error) {
        refused(error, {});
    }
    progress_.advance(counts.read);
    copy.digest = digest.value();
    counts.written = db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toLongLong();
    const qint64 expected = isStreets ? static_cast<qint64>(counts.read - noteCounts_.value(QStringLiteral("duplicate street")))
                                      : counts.read;
    if (counts.written != expected)
        failed(QStringLiteral("the table %1 has %2 rows in the new database instead of %3.")
                   .arg(table)
                   .arg(counts.written)
                   .arg(expected));
    if (isSurvey) {
        // The history of each record starts with its conversion.
        db.exec(QStringLiteral("INSERT INTO _Survey_History (Survey_ID, Action, Field, Old_Value, New_Value, "
                               "Changed_At, Changed_By) SELECT ID, 'converted', NULL, NULL, ?, ?, ? "
                               "FROM _Archived_SurveyData ORDER BY ID"),
                {QFileInfo(request_.accessPath).fileName(), toDbDateTime(request_.now), request_.user});
    }
    checkCancel();
}

void Converter::checkTable(Database& db, const TableCopy& copy, const ConvertedTable& counts)
{
    QStringList names;
    for (const TargetColumn& column : copy.columns)
        names << column.name;
    QSqlQuery q = db.query(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(names.join(QStringLiteral(", ")), counts.table, writtenOrder(db)));
    ValueDigest digest;
    qint64 rows = 0;
    const int n = static_cast<int>(names.size());
    while (q.next()) {
        for (int i = 0; i < n; ++i) {
            digest.add(q.value(i));
        }
        if ((++rows & 1023) == 0)
            progress_.advance(rows);
    }
    if (rows != counts.written || digest.value() != copy.digest)
        failed(QStringLiteral("the table %1 does not read back from the new database as it was written.").arg(counts.table));
}

QString Converter::logText() const
{
    QString text;
    if (result_.fromKolvaFile) {
        text += QStringLiteral("KOLVA copy of a database file onto a server, %1, by %2\n")
                    .arg(toDbDateTime(request_.now), request_.user);
        text += QStringLiteral("Database file: %1 (%2)\n").arg(native(request_.accessPath), accessFormat_);
    } else {
        text += QStringLiteral("KOLVA conversion of an Access database, %1, by %2\n")
                    .arg(toDbDateTime(request_.now), request_.user);
        text += QStringLiteral("Access file: %1 (%2)\n").arg(native(request_.accessPath), accessFormat_);
    }
    text += QStringLiteral("New database: %1\n").arg(shownDatabase(result_.databasePath));
    if (!result_.keptAccessPath.isEmpty())
        text += QStringLiteral("The Access file is kept as: %1\n").arg(native(result_.keptAccessPath));
    for (const QString& line : result_.countLines())
        text += line + QLatin1Char('\n');
    for (const QString& line : result_.notes)
        text += line + QLatin1Char('\n');
    return text + QLatin1Char('\n');
}

void Converter::writeLog(SafeFileWriter& log)
{
    // Never read from or written through a link, a pipe or a device.
    QString logFailure = log.open();
    QByteArray earlier;
    if (logFailure.isEmpty() && QFileInfo::exists(result_.logPath)) {
        // The new lines go below the earlier ones, which are never lost.
        QFile old(result_.logPath);
        if (old.open(QIODevice::ReadOnly))
            earlier = old.readAll();
        if (old.error() != QFileDevice::NoError)
            logFailure = QStringLiteral("the earlier log cannot be read: ") + old.errorString();
    }
    if (logFailure.isEmpty()) {
        log.device().write(earlier);
        log.device().write(logText().toUtf8());
        logFailure = log.flush();
    }
    if (!logFailure.isEmpty())
        failed(QStringLiteral("the conversion log %1 could not be written: %2")
                   .arg(QDir::toNativeSeparators(result_.logPath), logFailure));
}

std::unique_ptr<Database> Converter::openServer()
{
    progress_.beginStage(QStringLiteral("Making the new database"), 0);
    try {
        return Database::openServer(server_, request_.lockWaitMs > 0 ? request_.lockWaitMs : DefaultBusyTimeoutMs);
    } catch (const DbError& error) {
        failed(QStringLiteral("the database %1 could not be opened: %2").arg(serverName_, error.message()));
    }
}

void Converter::prepareServer(Database& db)
{
    // Under the lock of a program making the schema there: none can start
    // making it while it is looked at, nor use it before the rows are in.
    lockServerSchema(db);
    const QStringList present = kolvaTablesPresent(db);
    if (!present.isEmpty())
        failed(QStringLiteral("the database %1 holds KOLVA tables already (%2). A conversion goes only into a "
                              "database without them: give a new, empty database.")
                   .arg(serverName_, present.join(QStringLiteral(", "))));
    makeServerSchema(db);
}

// The checks, the sequences, the log; then the one commit that makes it all
// appear at once.
void Converter::finishOnServer(Database& db, Transaction& transaction, const QHash<QString, qint64>& keysGiven)
{
    testStop("copied");
    checkCancel();
    progress_.beginStage(QStringLiteral("Checking the new database"), 0);
    for (const TableCopy& copy : copies_)
        checkTable(db, copy, result_.tables[copy.index]);
    for (ConvertedTable& counts : result_.tables) {
        if (!counts.inAccessFile)
            counts.written = db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(counts.table)).toLongLong();
    }
    setKeySequences(db, keysGiven);
    checkCancel();
    // Written first, so that a full disk shows while nothing is saved yet.
    result_.logPath = QFileInfo(request_.accessPath).absoluteFilePath() + QStringLiteral(".conversion.log");
    SafeFileWriter log(result_.logPath);
    writeLog(log);
    progress_.setCancellable(false);
    progress_.beginStage(QStringLiteral("Saving the new database"), 0);
    testStop("committing");
    try {
        transaction.commit();
    } catch (const DbError& error) {
        // The server either saved all of it or none; which, a lost
        // connection does not tell.
        throw ConversionFailed(
            QStringLiteral("The conversion of\n%1\nfailed while the server saved it: %2\n\nThe server saves all of "
                           "it or nothing: if the database %3 holds KOLVA tables now, the conversion is complete; if "
                           "not, nothing was written to it and the conversion can be run again. %4 has not been "
                           "changed.")
                .arg(native(request_.accessPath), error.message(), serverName_, native(request_.accessPath)));
    }
    if (const QString failure = log.commit(); !failure.isEmpty())
        result_.notes.append(QStringLiteral("The conversion log %1 could not be written: %2")
                                 .arg(QDir::toNativeSeparators(result_.logPath), failure));
}

ConversionResult Converter::accessToServer(AccessFile& access)
{
    const std::unique_ptr<Database> db = openServer();
    try {
        Transaction transaction(*db);
        prepareServer(*db);
        planTables(access, *db);
        for (TableCopy& copy : copies_) {
            try {
                copyTable(access, *db, copy, result_.tables[copy.index]);
            } catch (const DbError& error) {
                failed(QStringLiteral("the table %1 could not be copied: %2").arg(copy.accessName, error.message()));
            }
        }
        finishOnServer(*db, transaction, {});
    } catch (const DbError& error) {
        failed(QStringLiteral("the new database could not be written: %1").arg(error.message()));
    }
    return result_;
}

void Converter::copyFileTable(Database& file, Database& server, TableCopy& copy, ConvertedTable& counts)
{
    const QString table = counts.table;
    QStringList names;
    for (const TargetColumn& column : copy.columns)
        names << column.name;
    counts.read = file.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toLongLong();
    progress_.beginStage(QStringLiteral("Copying %1").arg(counts.label.toLower()), counts.read);
    server.exec(QStringLiteral("DELETE FROM %1").arg(table));
    BatchInsert insert(server, table, names);
    ValueDigest digest;
    QSqlQuery read = file.query(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(names.join(QStringLiteral(", ")), table, writtenOrder(file)));
    const int n = static_cast<int>(names.size());
    QVariantList values(n);
    qint64 row = 0;
    const auto refused = [&](const DbError& error) {
        failed(QStringLiteral("%1 of the table %2 could not be written to the new database: %3")
                   .arg(insert.firstRowOfStatement() == insert.lastRowOfStatement()
                            ? QStringLiteral("row %1").arg(insert.firstRowOfStatement())
                            : QStringLiteral("one of the rows %1 to %2")
                                  .arg(insert.firstRowOfStatement())
                                  .arg(insert.lastRowOfStatement()),
                        table, error.message()));
    };
    while (read.next()) {
        for (int i = 0; i < n; ++i) {
            values[i] = read.value(i);
            digest.add(values[i]);
        }
        try {
            insert.add(values);
        } catch (const DbError& error) {
            refused(error);
        }
        if ((++row & 255) == 0) {
            progress_.advance(row);
            checkCancel();
        }
    }
    read.finish();
    try {
        insert.finish();
    } catch (const DbError& error) {
        refused(error);
    }
    progress_.advance(row);
    copy.digest = digest.value();
    counts.written = server.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toLongLong();
    if (row != counts.read || counts.written != counts.read)
        failed(QStringLiteral("the table %1 has %2 rows in the new database instead of %3.")
                   .arg(table)
                   .arg(counts.written)
                   .arg(counts.read));
    checkCancel();
}

ConversionResult Converter::kolvaFileToServer(const QString& path)
{
    result_.fromKolvaFile = true;
    progress_.beginStage(QStringLiteral("Reading the database file"), 0);
    std::unique_ptr<Database> file;
    int version = 0;
    try {
        file = Database::openReadOnly(path, request_.lockWaitMs > 0 ? request_.lockWaitMs : DefaultBusyTimeoutMs);
        version = schemaVersion(*file);
    } catch (const DbError& error) {
        failed(QStringLiteral("it cannot be read as a database: %1").arg(error.message()));
    }
    if (version < 1 || !file->tableExists(QStringLiteral("_Archived_SurveyData")))
        failed(QStringLiteral("it is a SQLite database, but not a KOLVA database."));
    if (version > CurrentSchemaVersion)
        failed(QStringLiteral("it was made by a newer version of KOLVA (database version %1; this version knows up "
                              "to %2). Please use the newer version of KOLVA.")
                   .arg(version)
                   .arg(CurrentSchemaVersion));
    if (version < CurrentSchemaVersion)
        failed(QStringLiteral("it was made by an earlier version of KOLVA (database version %1; this version "
                              "copies version %2). Open it with KOLVA once, which brings it up to date, then "
                              "copy it again.")
                   .arg(version)
                   .arg(CurrentSchemaVersion));
    accessFormat_ = QStringLiteral("KOLVA database version %1").arg(version);

    const std::unique_ptr<Database> db = openServer();
    try {
        // Every table as it was at one moment, though KOLVA may be writing
        // the file meanwhile.
        ReadSnapshot snapshot(*file);
        Transaction transaction(*db);
        prepareServer(*db);
        QSet<QString> known;
        std::vector<ModelTable> tables(std::begin(dataModelTables), std::end(dataModelTables));
        tables.insert(tables.end(), std::begin(fileTables), std::end(fileTables));
        for (const ModelTable& model : tables) {
            ConvertedTable counts;
            counts.table = QString::fromLatin1(model.table);
            counts.label = QString::fromLatin1(model.label);
            counts.inAccessFile = true;
            known.insert(counts.table.toLower());
            result_.tables.append(counts);
            TableCopy copy;
            copy.index = static_cast<int>(result_.tables.size()) - 1;
            copy.accessName = counts.table;
            QStringList onServer;
            for (const TableColumn& column : tableColumns(*db, counts.table))
                onServer << column.name.toLower();
            QStringList inFile;
            for (const TableColumn& column : tableColumns(*file, counts.table)) {
                TargetColumn target;
                target.name = column.name;
                copy.columns.append(target);
                inFile << column.name.toLower();
            }
            if (inFile != onServer)
                failed(QStringLiteral("the table %1 has the columns %2 in the file but %3 on the server.")
                           .arg(counts.table, inFile.join(QStringLiteral(", ")), onServer.join(QStringLiteral(", "))));
            copies_.push_back(copy);
        }
        for (const QString& t : fileTableNames(*file)) {
            bool scratch = false;
            for (const char* s : scratchTables)
                scratch = scratch || t.compare(QLatin1String(s), Qt::CaseInsensitive) == 0;
            if (!scratch && !known.contains(t.toLower()))
                note(QStringLiteral("extra table"),
                     QStringLiteral("The table %1 of the file is not part of KOLVA's data and was left behind.").arg(t));
        }
        for (TableCopy& copy : copies_) {
            try {
                copyFileTable(*file, *db, copy, result_.tables[copy.index]);
            } catch (const DbError& error) {
                failed(QStringLiteral("the table %1 could not be copied: %2").arg(copy.accessName, error.message()));
            }
        }
        finishOnServer(*db, transaction, highestKeysGiven(*file));
    } catch (const DbError& error) {
        failed(QStringLiteral("the new database could not be written: %1").arg(error.message()));
    }
    return result_;
}

ConversionResult Converter::run()
{
    const QString accessPath = QFileInfo(request_.accessPath).absoluteFilePath();
    const bool toServer = isServerDatabaseUri(request_.targetPath);
    if (toServer) {
        // A URI that carries a password is refused before any connection,
        // in words that do not repeat it.
        try {
            server_ = parseDatabaseTarget(request_.targetPath);
        } catch (const InputError& refused) {
            failed(refused.userText());
        }
        serverName_ = server_.displayName();
        result_.databasePath = serverName_;
    }
    const bool inPlace = !toServer && (request_.targetPath.isEmpty()
                                       || QFileInfo(request_.targetPath).absoluteFilePath() == accessPath);
    const QString target = inPlace ? accessPath : QFileInfo(request_.targetPath).absoluteFilePath();
    const QString folder = QFileInfo(target).absolutePath();
    progress_.setCancellable(true);
    progress_.beginStage(QStringLiteral("Reading the Access database"), 0);

    // The kind of file first: a pipe or a device is never opened as one.
    const FileHead head = readFileHead(accessPath, 32);
    if (head.kind == PathKind::Missing)
        failed(QStringLiteral("the file does not exist."));
    if (head.kind != PathKind::Regular)
        failed(QStringLiteral("it is not a regular file: it is %1.").arg(pathKindName(head.kind)));
    if (!head.error.isEmpty())
        failed(QStringLiteral("the file cannot be read: %1.").arg(head.error));
    if (!toServer && !inPlace && pathEntryExists(target))
        failed(QStringLiteral("%1 already exists; KOLVA does not replace it.").arg(native(target)));
    if (!toServer && !QFileInfo(folder).isDir())
        failed(QStringLiteral("the folder %1 does not exist.").arg(QDir::toNativeSeparators(folder)));

    // One conversion of a file at a time. The lock belongs to the file
    // itself and stays with it when it is renamed; the file that is put
    // aside at the end must be the one locked and read.
    FileLock lock;
    QElapsedTimer waited;
    waited.start();
    while (!lock.tryLock(accessPath) && lock.busy() && waited.elapsed() < request_.lockWaitMs) {
        checkCancel();
        QThread::msleep(100);
    }
    if (lock.fd() < 0) {
        if (lock.busy())
            failed(QStringLiteral("another conversion of this file is running (in another KOLVA or a scheduled "
                                  "job). Wait for it to end."));
        failed(QStringLiteral("the file cannot be read: %1.").arg(lock.error()));
    }
    const std::optional<FileId> locked = fileIdOf(lock.fd());
    const auto stillTheFile = [&] { return locked && fileIdOf(accessPath) == locked; };
    const QString replaced = QStringLiteral("the file was replaced while it was being converted (by another "
                                            "conversion that ended first, say).");
    if (!stillTheFile())
        failed(replaced);
    struct stat accessStat {};
    ::fstat(lock.fd(), &accessStat);

    // Looked at again under the lock: a conversion that ended meanwhile has
    // put a SQLite database in the Access file's place. Onto a server, a
    // KOLVA database file is copied as it is.
    const bool sqliteFile = readFileHead(accessPath, 32).bytes.startsWith(QByteArrayLiteral("SQLite format 3\0"));
    if (sqliteFile && toServer)
        return kolvaFileToServer(accessPath);
    if (sqliteFile)
        throw AlreadyConverted(QStringLiteral("%1 is a SQLite database already, not a Microsoft Access database: it "
                                              "has been converted. Nothing was changed.")
                                   .arg(native(accessPath)));
    std::unique_ptr<AccessFile> access;
    try {
        access = AccessFile::open(accessPath);
    } catch (const DbError& error) {
        failed(QStringLiteral("it is not a Microsoft Access database that can be read (%1).").arg(error.message()));
    }
    if (access->fileId() != locked)
        failed(replaced);
    accessFormat_ = access->formatName();
    if (!access->hasTable(QStringLiteral("_Archived_SurveyData")))
        failed(QStringLiteral("it holds no table _Archived_SurveyData, so it is not a KOLVA database of an earlier "
                              "version."));
    if (toServer)
        return accessToServer(*access);

    // The new database, under a name of its own beside where it goes, held
    // while it is written and removed on every way out until it is in place.
    ScratchFile scratch(target, QString::fromLatin1(ConvertingTag));
    if (!scratch.isOpen())
        failed(QStringLiteral("the new database could not be made in the folder %1: %2")
                   .arg(QDir::toNativeSeparators(folder), scratch.error()));
    const QString temp = scratch.path();
    try {
        auto db = Database::open(temp);
        initializeKolvaDatabase(*db);
    } catch (const DbError& error) {
        failed(QStringLiteral("the new database could not be made in the folder %1: %2")
                   .arg(QDir::toNativeSeparators(folder), error.message()));
    }
    result_.databasePath = target;

    try {
        auto db = Database::open(temp);
        db->exec(QStringLiteral("PRAGMA journal_mode = MEMORY"));
        db->exec(QStringLiteral("PRAGMA synchronous = OFF"));
        db->exec(QStringLiteral("PRAGMA cache_size = -65536"));
        if (request_.maxPages > 0)
            db->scalar(QStringLiteral("PRAGMA max_page_count = %1").arg(request_.maxPages));
        planTables(*access, *db);
        {
            Transaction transaction(*db);
            for (TableCopy& copy : copies_) {
                ConvertedTable& counts = result_.tables[copy.index];
                try {
                    copyTable(*access, *db, copy, counts);
                } catch (const DbError& error) {
                    failed(QStringLiteral("the table %1 could not be copied: %2").arg(copy.accessName, error.message()));
                }
            }
            transaction.commit();
        }
        testStop("copied");
        checkCancel();
        // Every table read back from the file as it was written.
        progress_.beginStage(QStringLiteral("Checking the new database"), 0);
        const QString check = db->scalar(QStringLiteral("PRAGMA quick_check")).toString();
        if (check != QLatin1String("ok"))
            failed(QStringLiteral("the new database does not pass the engine's check: %1").arg(check));
        for (const TableCopy& copy : copies_)
            checkTable(*db, copy, result_.tables[copy.index]);
        for (ConvertedTable& counts : result_.tables) {
            if (!counts.inAccessFile)
                counts.written = db->scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(counts.table)).toLongLong();
        }
    } catch (const DbError& error) {
        failed(QStringLiteral("the new database could not be written: %1").arg(error.message()));
    }
    keepOwnership(scratch.fd(), accessStat);
    if (::fsync(scratch.fd()) != 0)
        failed(QStringLiteral("the new database could not be saved to the disk: %1.").arg(QString::fromLocal8Bit(std::strerror(errno))));
    checkCancel();

    // The log beside the database, written before anything is renamed so
    // that a full disk shows now; put in place at the end.
    if (inPlace)
        result_.keptAccessPath = keptAccessName(accessPath, request_.now.date());
    else
        result_.keptAccessPath.clear();
    result_.logPath = target + QStringLiteral(".conversion.log");
    SafeFileWriter log(result_.logPath);
    writeLog(log);

    progress_.setCancellable(false);
    progress_.beginStage(QStringLiteral("Putting the new database in place"), 0);
    if (!stillTheFile())
        failed(replaced);
    if (inPlace) {
        putInPlace(accessPath, temp);
    } else {
        QString why;
        if (!renameWithoutReplacing(temp, target, &why))
            failed(pathEntryExists(target)
                       ? QStringLiteral("%1 already exists; KOLVA does not replace it.").arg(native(target))
                       : QStringLiteral("the new database could not be saved as %1: %2.").arg(native(target), why));
    }
    scratch.keep();
    syncFolder(folder);
    if (const QString failure = log.commit(); !failure.isEmpty())
        result_.notes.append(QStringLiteral("The conversion log %1 could not be written: %2")
                                 .arg(QDir::toNativeSeparators(result_.logPath), failure));
    return result_;
}

void Converter::putInPlace(const QString& accessPath, const QString& temp)
{
    // The database's name names a usable file at every moment: the Access
    // file gets its kept name as a second name first, then the new database
    // takes the first name in one step. An interruption in between leaves
    // the Access file under both names, which the next start undoes.
    int error = 0;
    bool linked = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (attempt > 0)
            result_.keptAccessPath = keptAccessName(accessPath, request_.now.date());
        linked = addHardLink(accessPath, result_.keptAccessPath, &error);
        if (linked || error != EEXIST)
            break;
    }
    if (linked) {
        testStop("linked");
        if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(accessPath).constData()) != 0) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            ::unlink(QFile::encodeName(result_.keptAccessPath).constData());
            failed(QStringLiteral("the new database could not be put in its place: %1.").arg(why));
        }
        return;
    }
    // A file system without hard links (a shared folder of another system):
    // two renames; an interruption between them is undone at the next start.
    QString why;
    if (!renameWithoutReplacing(accessPath, result_.keptAccessPath, &why))
        failed(QStringLiteral("the Access file could not be renamed to %1: %2.").arg(native(result_.keptAccessPath), why));
    testStop("renamed");
    if (!renameWithoutReplacing(temp, accessPath, &why)) {
        renameWithoutReplacing(result_.keptAccessPath, accessPath, nullptr);
        failed(QStringLiteral("the new database could not be put in its place: %1.").arg(why));
    }
}

void Converter::keepOwnership(int fd, const struct stat& access)
{
    // The office's users must be able to write the new database as they
    // could the Access file, whoever converted it.
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != access.st_uid || now.st_gid != access.st_gid)) {
        if (::fchown(fd, access.st_uid, access.st_gid) != 0) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            const bool group = ::fchown(fd, uid_t(-1), access.st_gid) == 0;
            result_.notes.append(QStringLiteral("The new database could not be given the owner%1 of the Access file "
                                                "(user %2, group %3): %4. Check that its users can write it.")
                                     .arg(group ? QString() : QStringLiteral(" and group"))
                                     .arg(access.st_uid)
                                     .arg(access.st_gid)
                                     .arg(why));
        }
    }
    if (::fchmod(fd, access.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID | S_ISVTX)) != 0)
        result_.notes.append(QStringLiteral("The new database could not be given the permissions of the Access file: %1.")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

QStringList ConversionResult::countLines() const
{
    QStringList lines;
    for (const ConvertedTable& t : tables) {
        if (t.inAccessFile)
            lines << QStringLiteral("%1: %2 of %3").arg(t.label).arg(t.written).arg(t.read);
        else
            lines << QStringLiteral("%1: not in the Access file, the supplied list is kept (%2)")
                         .arg(t.label)
                         .arg(t.written);
    }
    return lines;
}

QString ConversionResult::summary() const
{
    QString text = (fromKolvaFile ? QStringLiteral("The database has been copied.\n\n")
                                  : QStringLiteral("The Access database has been converted.\n\n"))
                   + countLines().join(QLatin1Char('\n'));
    if (!notes.isEmpty())
        text += QStringLiteral("\n\n") + notes.join(QLatin1Char('\n'));
    text += QStringLiteral("\n\nThe new database: %1").arg(shownDatabase(databasePath));
    if (!keptAccessPath.isEmpty())
        text += QStringLiteral("\nThe Access file is kept as: %1").arg(native(keptAccessPath));
    text += QStringLiteral("\nThe log of the conversion: %1").arg(native(logPath));
    return text;
}

QString keptAccessName(const QString& accessPath, const QDate& day)
{
    const QString base = accessPath + QStringLiteral(".access-") + day.toString(QStringLiteral("yyyyMMdd"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QStringLiteral("-%1").arg(n);
    return name;
}

namespace {

// The kept names of an Access file, the latest last: NAME.access-DATE,
// then -2, -3 ... of the same day.
QStringList keptNamesInOrder(const QDir& folder, const QString& name)
{
    QStringList names = folder.entryList({name + QStringLiteral(".access-*")}, QDir::Files | QDir::Hidden, QDir::Name);
    const auto key = [&](const QString& kept) {
        const QString tail = kept.mid(name.size() + 8); // after ".access-"
        const qsizetype dash = tail.indexOf(QLatin1Char('-'));
        return std::pair{tail.left(dash < 0 ? tail.size() : dash),
                         dash < 0 ? 1 : tail.mid(dash + 1).toInt()};
    };
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return key(a) < key(b); });
    return names;
}

bool isAccessFile(const QString& path)
{
    const QByteArray head = readFileHead(path, 32).bytes;
    return head.size() >= 19 && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

} // namespace

QString recoverInterruptedConversion(const QString& databasePath)
{
    const QFileInfo info(databasePath);
    const QString path = info.absoluteFilePath();
    const QDir folder = info.absoluteDir();
    const QString name = info.fileName();
    const QStringList kept = keptNamesInOrder(folder, name);
    QStringList said;
    FileLock lock;
    if (pathKind(path) == PathKind::Regular) {
        // A conversion that is running holds the file: leave everything.
        if (!lock.tryLock(path))
            return {};
        const std::optional<FileId> id = fileIdOf(lock.fd());
        for (const QString& k : kept) {
            if (id && fileIdOf(folder.filePath(k)) == id && QFile::remove(folder.filePath(k)))
                said << QStringLiteral("A conversion of %1 was interrupted before the new database was put in place. "
                                       "It has been undone: the Access file is as it was, and the second name it had "
                                       "been given, %2, was removed. Nothing was lost; the conversion can be run again.")
                            .arg(native(path), k);
        }
    } else if (!pathEntryExists(path)) {
        // Stopped between two renames (a file system without hard links):
        // the database is missing, the Access file is under its kept name
        // and the new database beside it was not finished.
        bool leftovers = false;
        for (const QString& t : folder.entryList({name + QLatin1String(ConvertingTag) + QLatin1Char('*')},
                                                 QDir::Files | QDir::Hidden)) {
            FileLock probe;
            leftovers = leftovers || probe.tryLock(folder.filePath(t));
        }
        if (leftovers && !kept.isEmpty() && isAccessFile(folder.filePath(kept.last()))
            && lock.tryLock(folder.filePath(kept.last()))
            && renameWithoutReplacing(folder.filePath(kept.last()), path, nullptr)) {
            said << QStringLiteral("A conversion of %1 was interrupted while the files were renamed. It has been "
                                   "undone: the Access file %2 is %1 again. Nothing was lost; the conversion can be "
                                   "run again.")
                        .arg(native(path), kept.last());
        }
    }
    const QStringList removed = removeStaleScratchFiles(path);
    if (!removed.isEmpty())
        said << QStringLiteral("Files left behind by an interrupted run were removed: %1.")
                    .arg(removed.join(QStringLiteral(", ")));
    return said.join(QLatin1Char('\n'));
}

ConversionResult convertAccessDatabase(const ConversionRequest& request, Progress& progress)
{
    Converter converter(request, progress);
    return converter.run();
}

} // namespace kolva
