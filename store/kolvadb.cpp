#include "store/kolvadb.h"

#include "store/accessfile.h"
#include "store/localfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <algorithm>

#include <vector>

namespace kolva {

namespace {

QString resourceText(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("missing resource %1").arg(name));
    return QString::fromUtf8(file.readAll());
}

// The steps that bring a file of version N-1 to version N, in order. A
// later schema change adds its script to store/upgrades/ and here, and the
// test that upgrades a file of every older version covers it.
// A step that moves rows the engine cannot convert by itself runs its script,
// then its conversion, then its closing script.
struct UpgradeStep {
    int toVersion;
    const char* resource;
    void (*convert)(Database&) = nullptr;
    const char* closing = nullptr;
};

// True for the 64 hexadecimal characters of a SHA-256 digest as version 5
// stored it.
bool isHexDigest(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return false;
    const QString text = value.toString();
    if (text.size() != 64)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

// Version 6: copies the imported files' rows into the new table, each digest
// as its 32 bytes; a value that is not a digest in hexadecimal is kept as it is.
void convertImportedDigests(Database& db)
{
    QSqlQuery read = db.query(QStringLiteral("SELECT ID, Digest, File_Name, Byte_Size, Imported_At, Survey_ID "
                                             "FROM _Imported_Files_5 ORDER BY ID"));
    QSqlQuery write = db.prepare(QStringLiteral("INSERT INTO _Imported_Files (ID, Digest, File_Name, Byte_Size, "
                                                "Imported_At, Survey_ID) VALUES (?, ?, ?, ?, ?, ?)"));
    while (read.next()) {
        const QVariant digest = read.value(1);
        write.bindValue(0, read.value(0));
        write.bindValue(1, isHexDigest(digest) ? QVariant(QByteArray::fromHex(digest.toString().toLatin1())) : digest);
        for (int i = 2; i < 6; ++i)
            write.bindValue(i, read.value(i));
        Database::run(write);
    }
    write.finish();
    read.finish();
}

const std::vector<UpgradeStep>& upgradeSteps()
{
    static const std::vector<UpgradeStep> steps = {
        {2, ":/store/upgrades/2_history.sql"},
        {3, ":/store/upgrades/3_imported_files.sql"},
        {4, ":/store/upgrades/4_mobilization.sql"},
        {5, ":/store/upgrades/5_survey_indexes.sql"},
        {6, ":/store/upgrades/6_imported_digests.sql", convertImportedDigests,
         ":/store/upgrades/6_imported_digests_end.sql"},
        {7, ":/store/upgrades/7_sorted_indexes.sql"},
    };
    return steps;
}

// Runs the steps above the file's version inside the caller's transaction.
void runUpgradeSteps(Database& db, int fromVersion)
{
    for (const UpgradeStep& step : upgradeSteps()) {
        if (fromVersion >= step.toVersion)
            continue;
        db.execScript(resourceText(QString::fromLatin1(step.resource)));
        if (step.convert)
            step.convert(db);
        if (step.closing)
            db.execScript(resourceText(QString::fromLatin1(step.closing)));
        db.exec(QStringLiteral("PRAGMA user_version = %1").arg(step.toVersion));
    }
}

// The same steps on PostgreSQL, each recorded in _Schema_Version. Step 1
// makes the tables; the supplied lists follow it, as in a new file.
const std::vector<UpgradeStep>& serverSteps()
{
    static const std::vector<UpgradeStep> steps = {
        {1, ":/store/pg/1_schema.sql"},
        {2, ":/store/pg/2_history.sql"},
        {3, ":/store/pg/3_imported_files.sql"},
        {4, ":/store/pg/4_mobilization.sql"},
        {5, ":/store/pg/5_survey_indexes.sql"},
        {6, ":/store/pg/6_imported_digests.sql"},
        {7, ":/store/pg/7_sorted_indexes.sql"},
    };
    return steps;
}

void runServerSteps(Database& db, int fromVersion)
{
    for (const UpgradeStep& step : serverSteps()) {
        if (fromVersion >= step.toVersion)
            continue;
        db.execScript(resourceText(QString::fromLatin1(step.resource)));
        if (step.toVersion == 1)
            db.execScript(resourceText(QStringLiteral(":/store/supplied.sql")));
        db.exec(QStringLiteral("INSERT INTO _Schema_Version (Version, Applied_At) "
                               "VALUES (?, to_char(localtimestamp(0), 'YYYY-MM-DD HH24:MI:SS'))"),
                {step.toVersion});
    }
}

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

QString databaseFileName()
{
    return QStringLiteral("KOLVA.MDB");
}

QString databasePath(const QString& programDir)
{
    return QDir(programDir).filePath(databaseFileName());
}

void initializeKolvaDatabase(Database& db)
{
    Transaction transaction(db);
    db.execScript(resourceText(QStringLiteral(":/store/schema.sql")));
    db.execScript(resourceText(QStringLiteral(":/store/supplied.sql")));
    runUpgradeSteps(db, schemaVersion(db));
    transaction.commit();
}

void createKolvaDatabase(const QString& path)
{
    if (pathEntryExists(path))
        throw DbError(QStringLiteral("%1 already exists").arg(nativePath(path)));
    // Written under a name of its own, held while it is written: a second
    // run at the same time or the leftovers of a killed one never meet it.
    ScratchFile partial(path, QString::fromLatin1(PartialTag));
    if (!partial.isOpen())
        throw DbError(QStringLiteral("could not write %1: %2").arg(nativePath(path), partial.error()));
    {
        auto db = Database::open(partial.path());
        initializeKolvaDatabase(*db);
    }
    QString why;
    if (!renameWithoutReplacing(partial.path(), path, &why)) {
        if (pathEntryExists(path))
            throw DbError(QStringLiteral("%1 already exists").arg(nativePath(path)));
        throw DbError(QStringLiteral("could not write %1: %2").arg(nativePath(path), why));
    }
    partial.keep();
}

DatabaseRefused::DatabaseRefused(Reason reason, QString path, QString userMessage)
    : DatabaseError(userMessage), reason_(reason), path_(std::move(path))
{
}

int schemaVersion(Database& db)
{
    if (db.isServer()) {
        if (!db.tableExists(QStringLiteral("_Schema_Version")))
            return 0;
        return db.scalar(QStringLiteral("SELECT COALESCE(MAX(Version), 0) FROM _Schema_Version")).toInt();
    }
    return db.scalar(QStringLiteral("PRAGMA user_version")).toInt();
}

void lockServerSchema(Database& db)
{
    db.scalar(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('kolva schema'))"));
}

void makeServerSchema(Database& db)
{
    runServerSteps(db, 0);
}

void upgradeSchema(Database& db)
{
    const int version = schemaVersion(db);
    if (version >= CurrentSchemaVersion)
        return;
    // All steps in one transaction: a failure leaves the file as it was.
    Transaction transaction(db);
    if (db.isServer())
        runServerSteps(db, version);
    else
        runUpgradeSteps(db, version);
    transaction.commit();
}

namespace {

// What the first bytes of the file say it is.
enum class FileKind { SQLite, Access, Empty, Other };

FileKind sniff(const QByteArray& head)
{
    if (head.isEmpty())
        return FileKind::Empty;
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return FileKind::SQLite;
    if (head.size() >= 19 && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB"))
        return FileKind::Access;
    return FileKind::Other;
}

// What an Access file is, and whether it is a KOLVA.MDB of an earlier
// version (it has the survey table).
QString accessDescription(const QString& path, bool& earlierVersion)
{
    earlierVersion = false;
    QString text = QStringLiteral("is a Microsoft Access database");
    try {
        const auto access = AccessFile::open(path);
        text += QStringLiteral(" (%1)").arg(access->formatName());
        const qint64 records = access->rowCount(QStringLiteral("_Archived_SurveyData"));
        if (records >= 0) {
            earlierVersion = true;
            text += QStringLiteral(" made by an earlier version of KOLVA. It holds %1 survey record%2")
                        .arg(records)
                        .arg(records == 1 ? QString() : QStringLiteral("s"));
        }
    } catch (const DbError&) {
        // The header alone says what it is.
    }
    return text + QLatin1Char('.');
}

[[noreturn]] void refuse(DatabaseRefused::Reason reason, const QString& path, const QString& what)
{
    const QString tail = QStringLiteral("\n\nKOLVA keeps its data in a SQLite database and cannot use this file. "
                                        "The file has not been changed.");
    const bool withTail = reason != DatabaseRefused::Reason::TooNew && reason != DatabaseRefused::Reason::EarlierVersion;
    throw DatabaseRefused(reason, path,
                          QStringLiteral("The database file\n%1\n%2").arg(nativePath(path), what)
                              + (withTail ? tail : QString()));
}

// Whether the user may run the schema steps from version: make tables in
// the schema (an empty database), or change the survey table (an older one),
// which only its owner (or a member of the owner's role) may.
bool mayChangeSchema(Database& db, int version)
{
    if (version == 0)
        return db.scalar(QStringLiteral("SELECT has_schema_privilege(current_schema(), 'CREATE')")).toBool();
    return db.scalar(QStringLiteral("SELECT pg_has_role(tableowner, 'USAGE') FROM pg_tables "
                                    "WHERE schemaname = current_schema() AND tablename = '_archived_surveydata'"))
        .toBool();
}

// A server database: made on an empty database, upgraded on an older one.
// Two programs starting on the same empty database at once make it once: the
// second waits for the first's lock, then finds the schema made.
std::unique_ptr<Database> openServerDatabase(const DatabaseTarget& target, int busyTimeoutMs, const QString& password)
{
    const QString shown = target.displayName();
    const auto refuseServer = [&shown](DatabaseRefused::Reason reason, const QString& what) {
        throw DatabaseRefused(reason, shown, QStringLiteral("The database\n%1\n%2").arg(shown, what));
    };
    std::unique_ptr<Database> db;
    try {
        db = Database::openServer(target, busyTimeoutMs, password);
    } catch (const DbError& error) {
        // The server asked for a password and none was had, or (in libpq's
        // words) the one given was not the user's.
        const QString said = error.message();
        if (isPasswordWanted(error))
            refuseServer(DatabaseRefused::Reason::PasswordNeeded,
                         QStringLiteral("could not be opened: the server asked for a password, and none was "
                                        "given. ")
                             + passwordPlaces());
        if (said.contains(QLatin1String("password authentication failed")))
            refuseServer(DatabaseRefused::Reason::PasswordRefused,
                         QStringLiteral("could not be opened: the server did not accept the password."));
        refuseServer(DatabaseRefused::Reason::EngineError, QStringLiteral("could not be opened:\n%1").arg(said));
    }
    try {
        Transaction transaction(*db);
        lockServerSchema(*db);
        const int version = schemaVersion(*db);
        if (version > CurrentSchemaVersion) {
            refuseServer(DatabaseRefused::Reason::TooNew,
                         QStringLiteral("was made by a newer version of KOLVA (database version %1; this version "
                                        "knows up to %2). Please use the newer version of KOLVA. The database has "
                                        "not been changed.")
                             .arg(version)
                             .arg(CurrentSchemaVersion));
        }
        if (version == 0) {
            const int tables = db->scalar(QStringLiteral("SELECT COUNT(*) FROM information_schema.tables "
                                                         "WHERE table_schema = current_schema()"))
                                   .toInt();
            if (tables > 0)
                refuseServer(DatabaseRefused::Reason::NotKolva,
                             QStringLiteral("is a PostgreSQL database, but not a KOLVA database, and not empty. "
                                            "It has not been changed."));
        } else if (!db->tableExists(QStringLiteral("_Archived_SurveyData"))) {
            refuseServer(DatabaseRefused::Reason::NotKolva,
                         QStringLiteral("is a PostgreSQL database, but not a KOLVA database."));
        }
        if (version < CurrentSchemaVersion && !mayChangeSchema(*db, version))
            refuseServer(DatabaseRefused::Reason::EngineError,
                         QStringLiteral("needs its tables %1, and the server lets only the database's owner do "
                                        "that, not %2. Ask whoever runs the office's database to open it once "
                                        "with this version of KOLVA. The database has not been changed.")
                             .arg(version == 0 ? QStringLiteral("made") : QStringLiteral("brought up to date"),
                                  db->userName()));
        if (version < CurrentSchemaVersion)
            runServerSteps(*db, version);
        transaction.commit();
    } catch (const DbError& error) {
        refuseServer(DatabaseRefused::Reason::EngineError,
                     QStringLiteral("could not be brought up to date:\n%1\n\nThe database has not been changed.")
                         .arg(error.message()));
    }
    return db;
}

} // namespace

std::unique_ptr<Database> openKolvaDatabase(const QString& path, int busyTimeoutMs, const QString& password)
{
    if (isServerDatabaseUri(path)) {
        DatabaseTarget target;
        try {
            target = parseDatabaseTarget(path);
        } catch (const InputError& refused) {
            throw DatabaseRefused(DatabaseRefused::Reason::EngineError, QString(), refused.userText());
        }
        return openServerDatabase(target, busyTimeoutMs, password);
    }
    const FileHead head = readFileHead(path, 32);
    if (head.kind != PathKind::Missing && head.kind != PathKind::Regular) {
        // Never opened: a pipe would wait for a writer for ever, a device
        // might be changed by the engine.
        refuse(DatabaseRefused::Reason::NotRegularFile, path,
               QStringLiteral("is not a regular file: it is %1.").arg(pathKindName(head.kind)));
    }
    if (head.kind == PathKind::Regular && !head.error.isEmpty())
        throw DatabaseRefused(DatabaseRefused::Reason::EngineError, path,
                              QStringLiteral("The database file\n%1\ncannot be read: %2")
                                  .arg(nativePath(path), head.error));
    if (head.kind == PathKind::Regular) {
        switch (sniff(head.bytes)) {
        case FileKind::Empty:
            refuse(DatabaseRefused::Reason::NotSQLite, path, QStringLiteral("is empty (0 bytes)."));
        case FileKind::Access: {
            bool earlierVersion = false;
            const QString what = accessDescription(path, earlierVersion);
            refuse(earlierVersion ? DatabaseRefused::Reason::EarlierVersion : DatabaseRefused::Reason::NotSQLite, path,
                   what);
        }
        case FileKind::Other:
            refuse(DatabaseRefused::Reason::NotSQLite, path, QStringLiteral("is not a database file."));
        case FileKind::SQLite:
            break;
        }
    }

    std::unique_ptr<Database> db;
    try {
        db = Database::open(path, busyTimeoutMs);
        db->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")); // reads the header now
    } catch (const DbError& error) {
        throw DatabaseRefused(DatabaseRefused::Reason::EngineError, path,
                              QStringLiteral("The database file\n%1\ncould not be opened:\n%2")
                                  .arg(nativePath(path), error.message()));
    }

    const int version = schemaVersion(*db);
    if (version > CurrentSchemaVersion) {
        refuse(DatabaseRefused::Reason::TooNew, path,
               QStringLiteral("was made by a newer version of KOLVA (database version %1; this version "
                              "knows up to %2). Please use the newer version of KOLVA. The file has not "
                              "been changed.")
                   .arg(version)
                   .arg(CurrentSchemaVersion));
    }
    if (version < 1 || !db->tableExists(QStringLiteral("_Archived_SurveyData"))) {
        refuse(DatabaseRefused::Reason::NotKolva, path,
               QStringLiteral("is a SQLite database, but not a KOLVA database."));
    }
    try {
        upgradeSchema(*db);
    } catch (const DbError& error) {
        throw DatabaseRefused(DatabaseRefused::Reason::EngineError, path,
                              QStringLiteral("The database file\n%1\ncould not be brought up to date:\n%2\n\n"
                                             "The file has not been changed.")
                                  .arg(nativePath(path), error.message()));
    }
    return db;
}

} // namespace kolva
