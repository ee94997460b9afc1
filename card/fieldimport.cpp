#include "card/fieldimport.h"

#include "store/database.h"
#include "store/dates.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kolva {

namespace {

constexpr qint64 CopyChunk = 64 * 1024;
// A message lists this many names at most.
constexpr int ListedNames = 20;

std::filesystem::path fsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// The placeholders of the insert, named: binding by name costs the query
// layer a lookup, binding by position a text made anew for every value.
const std::array<QString, treefile::FieldCount>& placeholders()
{
    static const std::array<QString, treefile::FieldCount> names = [] {
        std::array<QString, treefile::FieldCount> result;
        for (int i = 0; i < treefile::FieldCount; ++i)
            result[size_t(i)] = QStringLiteral(":v%1").arg(i);
        return result;
    }();
    return names;
}

QString insertStatement()
{
    QStringList columns;
    for (const SurveyField& field : surveyFields())
        columns << QLatin1String(field.column);
    QStringList marks(placeholders().begin(), placeholders().end());
    return QStringLiteral("INSERT INTO _Archived_SurveyData(%1) VALUES (%2)")
        .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

QStringList listedNames(const QStringList& names)
{
    QStringList lines = names.mid(0, ListedNames);
    if (names.size() > ListedNames)
        lines << QStringLiteral("... and %1 more").arg(names.size() - ListedNames);
    return lines;
}

} // namespace

QString cardMarkerName()
{
    return QStringLiteral("RiskRating_1.txt");
}

bool isKolvaCard(const QString& root)
{
    const QDir dir(root);
    if (QFileInfo(dir.filePath(cardMarkerName())).isFile())
        return true;
    return !dir.entryList({cardMarkerName()}, QDir::Files | QDir::Hidden).isEmpty();
}

QStringList listTreeFiles(const QString& root)
{
    QStringList names;
    QDirIterator files(root, {QStringLiteral("*.tree")}, QDir::Files);
    while (files.hasNext()) {
        files.next();
        names << files.fileName();
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

QStringList ImportResult::failedNames() const
{
    QStringList names;
    for (const FailedFile& file : failed)
        names << file.name;
    return names;
}

TreeFileImporter::TreeFileImporter(Database& db)
    : insert_(db.prepare(insertStatement())), savepoint_(db.prepare(QStringLiteral("SAVEPOINT tree_file"))),
      release_(db.prepare(QStringLiteral("RELEASE tree_file"))),
      rollback_(db.prepare(QStringLiteral("ROLLBACK TO tree_file")))
{
}

QString TreeFileImporter::ImportTreeFile(const QString& path, const QDateTime& added)
{
    QString why;
    const std::optional<TreeFileLines> lines = reader_.read(path, &why);
    if (!lines)
        return why;
    if (added != added_ || addedStored_.isEmpty()) {
        added_ = added;
        addedStored_ = toDbDateTime(added);
    }
    const std::optional<SurveyValues> values = toSurveyValues(*lines, addedStored_, &why);
    if (!values)
        return why;
    return addRecord(*values);
}

QString TreeFileImporter::addRecord(const SurveyValues& values)
{
    try {
        Database::run(savepoint_);
    } catch (const DbError& error) {
        return error.message();
    }
    try {
        for (int i = 0; i < treefile::FieldCount; ++i)
            insert_.bindValue(placeholders()[size_t(i)], values[size_t(i)]);
        Database::run(insert_);
        Database::run(release_);
    } catch (const DbError& error) {
        // Undo whatever part of the record was written, then end the savepoint.
        try {
            Database::run(rollback_);
            Database::run(release_);
        } catch (const DbError&) {
        }
        return error.message();
    }
    return {};
}

namespace {

// Reads and converts the files, in order, on a thread of its own, a bounded
// number of files ahead of the one whose record is being added.
class TreeFilePrefetch {
public:
    struct Item {
        std::optional<SurveyValues> values;
        QString error;
    };

    TreeFilePrefetch(QStringList paths, QString addedStored)
        : paths_(std::move(paths)), addedStored_(std::move(addedStored)), worker_([this] { run(); })
    {
    }
    ~TreeFilePrefetch()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        space_.notify_all();
        worker_.join();
    }
    TreeFilePrefetch(const TreeFilePrefetch&) = delete;
    TreeFilePrefetch& operator=(const TreeFilePrefetch&) = delete;

    // The next file's values, or why it cannot be imported.
    Item next()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return !queue_.empty(); });
        Item item = std::move(queue_.front());
        queue_.pop_front();
        // The reader sleeps while the queue is full; it is woken once half
        // of it has been used, not for every file.
        const bool wake = queue_.size() == Ahead / 2;
        lock.unlock();
        if (wake)
            space_.notify_one();
        return item;
    }

private:
    static constexpr size_t Ahead = 256;

    void run()
    {
        TreeFileReader reader;
        for (const QString& path : std::as_const(paths_)) {
            Item item;
            try {
                const std::optional<TreeFileLines> lines = reader.read(path, &item.error);
                if (lines)
                    item.values = toSurveyValues(*lines, addedStored_, &item.error);
            } catch (const std::exception& error) {
                item.values.reset();
                item.error = QString::fromLocal8Bit(error.what());
            }
            std::unique_lock<std::mutex> lock(mutex_);
            if (queue_.size() >= Ahead)
                space_.wait(lock, [this] { return stop_ || queue_.size() <= Ahead / 2; });
            if (stop_)
                return;
            queue_.push_back(std::move(item));
            lock.unlock();
            ready_.notify_one();
        }
    }

    const QStringList paths_;
    const QString addedStored_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable space_;
    std::deque<Item> queue_;
    bool stop_ = false;
    std::thread worker_; // last: it starts once everything else is made
};

} // namespace

namespace {

// A larger page cache while the import runs, so that the indexes of a large
// table are not read again and again, and the savepoint journal in memory
// rather than in a temporary file. The connection's settings come back when
// the import ends. The journal setting is left alone when the connection
// holds temporary tables, which changing it would drop.
class ImportSettings {
public:
    explicit ImportSettings(Database& db) : db_(db)
    {
        cacheSize_ = db_.scalar(QStringLiteral("PRAGMA cache_size"));
        db_.exec(QStringLiteral("PRAGMA cache_size = -65536"));
        const bool hasTemporaryObjects =
            db_.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_temp_master")).toInt() > 0;
        if (!hasTemporaryObjects) {
            tempStore_ = db_.scalar(QStringLiteral("PRAGMA temp_store"));
            db_.exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
        }
    }
    ~ImportSettings()
    {
        try {
            db_.exec(QStringLiteral("PRAGMA cache_size = %1").arg(cacheSize_.toLongLong()));
            if (tempStore_.isValid())
                db_.exec(QStringLiteral("PRAGMA temp_store = %1").arg(tempStore_.toInt()));
        } catch (const DbError&) {
            // Only speed was at stake.
        }
    }
    ImportSettings(const ImportSettings&) = delete;
    ImportSettings& operator=(const ImportSettings&) = delete;

private:
    Database& db_;
    QVariant cacheSize_;
    QVariant tempStore_;
};

} // namespace

ImportResult importTreeFiles(Database& db, const QString& root, const QStringList& names, const QDateTime& added)
{
    ImportResult result;
    const ImportSettings settings(db);
    Transaction transaction(db);
    {
        TreeFileImporter importer(db);
        const QDir folder(root);
        QStringList paths;
        paths.reserve(names.size());
        for (const QString& name : names)
            paths << folder.filePath(name);
        TreeFilePrefetch files(paths, toDbDateTime(added));
        for (const QString& name : names) {
            const TreeFilePrefetch::Item file = files.next();
            const QString why = file.values ? importer.addRecord(*file.values) : file.error;
            if (why.isEmpty())
                ++result.imported;
            else
                result.failed.append({name, why});
        }
    }
    transaction.commit();
    return result;
}

QString backupFolderPath(const QString& programDir, const QDate& day)
{
    return QDir(programDir).filePath(QStringLiteral("backup_") + day.toString(QStringLiteral("yyyyMMdd")));
}

bool CardFiles::makeFolder(const QString& path, QString* error)
{
    if (QDir().mkpath(path) && QFileInfo(path).isDir())
        return true;
    setError(error, QStringLiteral("The folder %1 cannot be made.").arg(displayFolder(path)));
    return false;
}

bool CardFiles::copyFile(const QString& from, const QString& to, QString* error)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("%1 cannot be read: %2").arg(displayFolder(from), in.errorString()));
        return false;
    }
    const QString partial = to + QStringLiteral(".partial");
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setError(error, QStringLiteral("%1 cannot be written: %2").arg(displayFolder(partial), out.errorString()));
        return false;
    }
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), CopyChunk);
        if (got < 0) {
            setError(error, QStringLiteral("%1 cannot be read: %2").arg(displayFolder(from), in.errorString()));
            out.remove();
            return false;
        }
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got) {
            setError(error, QStringLiteral("%1 cannot be written: %2").arg(displayFolder(partial), out.errorString()));
            out.remove();
            return false;
        }
    }
    out.close();
    if (out.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("%1 cannot be written: %2").arg(displayFolder(partial), out.errorString()));
        out.remove();
        return false;
    }
    std::error_code failure;
    std::filesystem::rename(fsPath(partial), fsPath(to), failure);
    if (failure) {
        setError(error, QStringLiteral("%1 cannot be written: %2")
                            .arg(displayFolder(to), QString::fromLocal8Bit(failure.message())));
        QFile::remove(partial);
        return false;
    }
    return true;
}

bool CardFiles::removeFile(const QString& path, QString* error)
{
    QFile file(path);
    if (file.remove())
        return true;
    setError(error, QStringLiteral("%1 cannot be deleted: %2").arg(displayFolder(path), file.errorString()));
    return false;
}

bool CardFiles::flushToDisk(const QString& folder, QString* error)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::syncfs(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        setError(error, QStringLiteral("The copies in %1 cannot be put on the disk.").arg(displayFolder(folder)));
    return ok;
#else
    Q_UNUSED(folder);
    Q_UNUSED(error);
    return true;
#endif
}

CardFiles& systemCardFiles()
{
    static CardFiles files;
    return files;
}

bool sameContents(const QString& a, const QString& b, QString* error)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("The copy of %1 cannot be checked.").arg(displayFolder(a)));
        return false;
    }
    bool same = first.size() == second.size();
    QByteArray one(CopyChunk, Qt::Uninitialized);
    QByteArray two(CopyChunk, Qt::Uninitialized);
    while (same) {
        const qint64 n1 = first.read(one.data(), CopyChunk);
        const qint64 n2 = second.read(two.data(), CopyChunk);
        if (n1 < 0 || n2 < 0 || n1 != n2) {
            same = false;
            break;
        }
        if (n1 == 0)
            break;
        same = std::memcmp(one.constData(), two.constData(), size_t(n1)) == 0;
    }
    if (!same)
        setError(error, QStringLiteral("The copy %1 differs from %2.").arg(displayFolder(b), displayFolder(a)));
    return same;
}

BackupResult moveToBackup(const QString& root, const QStringList& names, const QString& backupDir, CardFiles& files)
{
    BackupResult result;
    if (!files.makeFolder(backupDir, &result.error))
        return result;
    const QDir card(root);
    const QDir backup(backupDir);

    // First every copy, each compared with its original.
    QStringList copied;
    for (const QString& name : names) {
        QString why;
        if (!files.copyFile(card.filePath(name), backup.filePath(name), &why) ||
            !sameContents(card.filePath(name), backup.filePath(name), &why)) {
            result.failedName = name;
            result.error = why;
            break;
        }
        copied << name;
    }
    // Then, once the copies are safely on the disk, the originals go.
    if (copied.isEmpty())
        return result;
    QString why;
    if (!files.flushToDisk(backupDir, &why)) {
        if (result.error.isEmpty()) {
            result.failedName = copied.first();
            result.error = why;
        }
        return result;
    }
    for (const QString& name : std::as_const(copied)) {
        if (!files.removeFile(card.filePath(name), &why)) {
            if (result.error.isEmpty()) {
                result.failedName = name;
                result.error = why;
            }
            break;
        }
        result.moved << name;
    }
    return result;
}

QString displayFolder(const QString& path)
{
    QString shown = QDir::toNativeSeparators(path);
    while (shown.size() > 1 && (shown.endsWith(QLatin1Char('/')) || shown.endsWith(QLatin1Char('\\'))))
        shown.chop(1);
    return shown;
}

QString failedFilesReport(const QStringList& failed, const QStringList& inBackup, const QString& backupDir,
                          const QString& cardRoot)
{
    const QSet<QString> moved(inBackup.begin(), inBackup.end());
    QStringList backupNames;
    QStringList cardNames;
    for (const QString& name : failed)
        (moved.contains(name) ? backupNames : cardNames) << name;
    const QString inBackupFolder = QStringLiteral("in the backup folder %1").arg(displayFolder(backupDir));
    const QString onCard = QStringLiteral("still on the storage card in %1").arg(displayFolder(cardRoot));

    QStringList lines;
    if (backupNames.isEmpty() || cardNames.isEmpty()) {
        const QString& where = cardNames.isEmpty() ? inBackupFolder : onCard;
        if (failed.size() == 1)
            lines << QStringLiteral("1 file could not be imported; it is %1:").arg(where);
        else
            lines << QStringLiteral("%1 files could not be imported; they are %2:").arg(failed.size()).arg(where);
        lines << listedNames(failed);
    } else {
        lines << QStringLiteral("%1 files could not be imported.").arg(failed.size());
        lines << QStringLiteral("In the backup folder %1:").arg(displayFolder(backupDir)) << listedNames(backupNames);
        lines << QStringLiteral("Still on the storage card in %1:").arg(displayFolder(cardRoot))
              << listedNames(cardNames);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace kolva
