#include "card/fieldimport.h"

#include "store/codepage.h"
#include "platform/jobprogress.h"
#include "store/database.h"
#include "store/dates.h"
#include "store/textroutines.h"
#include "store/safefile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kolva {

namespace {

// The backup move puts this many copies on the disk at once: one flush for
// a card of 10,000 files.
constexpr size_t MoveBatch = 10000;
// The bytes of the files read are kept for the backup copy up to this much;
// the copies of any further files read the card again.
constexpr qint64 KeptBytesBudget = 256 * 1024 * 1024;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString systemMessage(int number)
{
    return systemReason(number);
}

// A name as it is: UTF-8 when the bytes are UTF-8, else the handheld's code
// page (a card mounted with another code page).
QString decodedName(const std::filesystem::path& name)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(name.native());
#else
    const std::string& raw = name.native();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(raw.data(), qsizetype(raw.size())));
    if (!utf8.hasError())
        return text;
    return fromWindows1252(QByteArrayView(raw.data(), qsizetype(raw.size())));
#endif
}

// A name as the user sees it in messages and logs: a line break or a
// direction override inside it is shown, not obeyed.
QString shownName(const std::filesystem::path& name)
{
    return visibleText(decodedName(name));
}

std::filesystem::path fsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString shownPath(const std::filesystem::path& path)
{
    return displayFolder(shownName(path));
}

QString digestOf(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// A digest (hexadecimal in memory) as the record of imported files holds it:
// its 32 bytes.
QByteArray storedDigest(const QByteArray& hex)
{
    return QByteArray::fromHex(hex);
}

QString shownDate(const QDateTime& when)
{
    return kolva::shownDate(when.date());
}

QString sizeText(qint64 bytes)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(bytes);
}

// The size and last change of a file, without following a link.
struct FileStamp {
    qint64 size = -1;
    qint64 modified = 0;
};

std::optional<FileStamp> stampOf(const std::filesystem::path& path)
{
#ifdef Q_OS_UNIX
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileStamp{qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
#else
    std::error_code failure;
    const auto size = std::filesystem::file_size(path, failure);
    if (failure)
        return std::nullopt;
    const auto time = std::filesystem::last_write_time(path, failure);
    if (failure)
        return std::nullopt;
    return FileStamp{qint64(size), qint64(time.time_since_epoch().count())};
#endif
}

// Reading one card file: never follows a link, never blocks on a pipe or a
// device, never reads more than a field data file can hold.
struct FileRead {
    enum class Kind { Read, NotRegular, TooLarge, Failed };
    Kind kind = Kind::Failed;
    QByteArray bytes;
    FileStamp stamp;
    QString error;
};

FileRead readCardFile(const std::filesystem::path& path)
{
    FileRead result;
#ifdef Q_OS_UNIX
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.kind = errno == ELOOP ? FileRead::Kind::NotRegular : FileRead::Kind::Failed;
        result.error = systemMessage(errno);
        return result;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        result.error = systemMessage(errno);
        ::close(fd);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        result.kind = FileRead::Kind::NotRegular;
        return result;
    }
    result.stamp = {qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
    if (info.st_size > MaxTreeFileBytes) {
        ::close(fd);
        result.kind = FileRead::Kind::TooLarge;
        return result;
    }
    // One byte more than the limit tells a file that grew since.
    result.bytes.resize(qsizetype(std::min<qint64>(info.st_size, MaxTreeFileBytes) + 1));
    qsizetype total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, result.bytes.data() + total, size_t(result.bytes.size() - total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = systemMessage(errno);
            ::close(fd);
            result.bytes.clear();
            return result;
        }
        if (got == 0)
            break;
        total += got;
        if (total == result.bytes.size()) {
            if (total > MaxTreeFileBytes) {
                ::close(fd);
                result.bytes.clear();
                result.kind = FileRead::Kind::TooLarge;
                return result;
            }
            result.bytes.resize(std::min<qsizetype>(total * 2, MaxTreeFileBytes + 1));
        }
    }
    ::close(fd);
    result.bytes.resize(total);
    result.stamp.size = total;
    result.kind = FileRead::Kind::Read;
#else
    std::error_code failure;
    const auto status = std::filesystem::symlink_status(path, failure);
    if (failure) {
        result.error = QString::fromLocal8Bit(failure.message());
        return result;
    }
    if (!std::filesystem::is_regular_file(status)) {
        result.kind = FileRead::Kind::NotRegular;
        return result;
    }
    QFile file(QString::fromStdWString(path.native()));
    if (file.size() > MaxTreeFileBytes) {
        result.kind = FileRead::Kind::TooLarge;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    result.bytes = file.read(MaxTreeFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    if (result.bytes.size() > MaxTreeFileBytes) {
        result.kind = FileRead::Kind::TooLarge;
        return result;
    }
    result.stamp = stampOf(path).value_or(FileStamp{});
    result.kind = FileRead::Kind::Read;
#endif
    return result;
}

void sortByName(QList<NamedFile>& files)
{
    std::stable_sort(files.begin(), files.end(), [](const NamedFile& a, const NamedFile& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
}

QString notRegularReason()
{
    return QStringLiteral("is a link or a special file, not a field data file; left alone");
}

QString tooLargeReason(qint64 size)
{
    return QStringLiteral("is %1 bytes, larger than any field data file (1 MiB); left alone").arg(sizeText(size));
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

// The engine's errors that undo one statement and nothing else: the values
// of this record were refused (a rule of the table, a value too large).
bool refusesOnlyTheStatement(const DbError& error)
{
    // The engine's extended codes carry the primary one in their low byte:
    // a constraint (19), a type mismatch (20), a value too big (18), a bound
    // value out of range (25).
    bool isNumber = false;
    const int primary = error.code().toInt(&isNumber) & 0xff;
    return isNumber && (primary == 18 || primary == 19 || primary == 20 || primary == 25);
}

// A larger page cache while the records are saved, so that the indexes of a
// large table are not read again and again, and temporary data in memory.
// The connection's settings come back afterwards. The temporary store is
// left alone when the connection holds temporary tables, which changing it
// would drop.
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

// ---------------------------------------------------------------- the card

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

CardAccessError::CardAccessError(const QString& message, bool cardGone, QString fileName)
    : std::runtime_error(message.toStdString()), message_(message), cardGone_(cardGone),
      fileName_(std::move(fileName))
{
}

CardScan scanCard(const QString& root)
{
    CardScan scan;
    scan.root = root;
    std::error_code failure;
    std::filesystem::directory_iterator entries(fsPath(root), failure);
    const std::filesystem::directory_iterator end;
    for (; !failure && entries != end; entries.increment(failure)) {
        const std::filesystem::path fsName = entries->path().filename();
        const QString name = shownName(fsName);
        if (name.startsWith(QLatin1Char('.')) || !name.endsWith(QLatin1String(".tree"), Qt::CaseInsensitive))
            continue;
        // The kind of entry as the folder listing gives it: no call to the
        // file system for a plain file. A file's size is judged when it is
        // opened, without reading it.
        std::error_code kindFailure;
        if (entries->is_symlink(kindFailure)) {
            scan.leftAlone.append({name, notRegularReason()});
            continue;
        }
        if (!kindFailure && entries->is_directory(kindFailure))
            continue;
        if (kindFailure) {
            scan.leftAlone.append({name, QStringLiteral("cannot be examined: %1; left alone")
                                             .arg(QString::fromLocal8Bit(kindFailure.message()))});
            continue;
        }
        if (!entries->is_regular_file(kindFailure)) {
            scan.leftAlone.append({name, notRegularReason()});
            continue;
        }
        scan.files.append({fsName, name});
    }
    if (failure)
        throw CardAccessError(QStringLiteral("The folder %1 cannot be read: %2")
                                  .arg(displayFolder(root), QString::fromLocal8Bit(failure.message())),
                              !QFileInfo(root).isDir());
    std::sort(scan.files.begin(), scan.files.end(), [](const CardEntry& a, const CardEntry& b) {
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.fsName < b.fsName;
    });
    sortByName(scan.leftAlone);
    return scan;
}

QStringList listTreeFiles(const QString& root)
{
    QStringList names;
    for (const CardEntry& entry : scanCard(root).files)
        names << entry.name;
    return names;
}

namespace {

// One .tree entry read: a file with its record (or why not), or a file that
// turned out not to be one to read.
struct ReadItem {
    bool isFile = false;
    CardFile file;
    NamedFile leftAlone;
};

// Reads one entry of the scan. Throws CardAccessError when it cannot be
// read: the card went away, or its file system fails.
ReadItem readEntry(const CardScan& scan, const CardEntry& entry, const QString& addedStored, qint64& kept)
{
    ReadItem item;
    FileRead file = readCardFile(fsPath(scan.root) / entry.fsName);
    switch (file.kind) {
    case FileRead::Kind::Failed:
        // A card that went away, or a failing one: not a bad file.
        if (!QFileInfo(scan.root).isDir() || !isKolvaCard(scan.root))
            throw CardAccessError(QStringLiteral("The storage card was removed while its files were read."), true,
                                  entry.name);
        throw CardAccessError(QStringLiteral("%1 cannot be read: %2").arg(entry.name, file.error), false, entry.name);
    case FileRead::Kind::NotRegular:
        item.leftAlone = {entry.name, notRegularReason()};
        return item;
    case FileRead::Kind::TooLarge:
        item.leftAlone = {entry.name, tooLargeReason(file.stamp.size)};
        return item;
    case FileRead::Kind::Read:
        break;
    }
    item.isFile = true;
    CardFile& card = item.file;
    card.entry = entry;
    card.size = file.bytes.size();
    card.modified = file.stamp.modified;
    card.digest = QCryptographicHash::hash(file.bytes, QCryptographicHash::Sha256).toHex();
    if (const std::optional<TreeFileLines> lines = TreeFileReader::parse(file.bytes, &card.refusal))
        card.values = toSurveyValues(*lines, addedStored, &card.refusal);
    if (kept + card.size <= KeptBytesBudget) {
        kept += card.size;
        card.bytes = std::move(file.bytes);
        card.bytesKept = true;
    }
    return item;
}

// Reads the entries, in order, on a thread of its own, a bounded number of
// files ahead of the one whose record is being added. It touches neither
// the database nor a window.
class EntryPrefetch {
public:
    EntryPrefetch(const CardScan& scan, QString addedStored)
        : scan_(scan), addedStored_(std::move(addedStored)), worker_([this] { run(); })
    {
    }
    ~EntryPrefetch()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        space_.notify_all();
        worker_.join();
    }
    EntryPrefetch(const EntryPrefetch&) = delete;
    EntryPrefetch& operator=(const EntryPrefetch&) = delete;

    // The next entry; throws the CardAccessError that stopped the reading.
    ReadItem next()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return !queue_.empty() || failure_; });
        if (queue_.empty())
            std::rethrow_exception(failure_);
        ReadItem item = std::move(queue_.front());
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
        qint64 kept = 0;
        for (const CardEntry& entry : scan_.files) {
            ReadItem item;
            try {
                item = readEntry(scan_, entry, addedStored_, kept);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(mutex_);
                failure_ = std::current_exception();
                ready_.notify_one();
                return;
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

    const CardScan& scan_;
    const QString addedStored_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable space_;
    std::deque<ReadItem> queue_;
    std::exception_ptr failure_;
    bool stop_ = false;
    std::thread worker_; // last: it starts once everything else is made
};

// Finds the files imported before, many digests a statement. The record of
// imported files holds each digest as its 32 bytes and indexes their first 8:
// the look-up finds the rows of those beginnings and keeps those of the whole
// digest.
class DigestLookup {
public:
    static constexpr int Chunk = 128;

    explicit DigestLookup(Database& db)
    {
        QStringList marks;
        for (int i = 0; i < Chunk; ++i)
            marks << QStringLiteral("?");
        const QString list = marks.join(QLatin1Char(','));
        query_ = db.prepare(QStringLiteral("SELECT Digest, MAX(Imported_At), MAX(ID) FROM _Imported_Files "
                                           "WHERE substr(Digest, 1, 8) IN (%1) AND Digest IN (%1) GROUP BY Digest")
                                .arg(list));
    }
    struct Found {
        QDateTime last; // the last import of the bytes
        qint64 row = 0; // its row in the record of imported files
    };
    // The imports of the files [from, to), at most Chunk of them, by digest.
    QHash<QByteArray, Found> find(const std::vector<CardFile>& files, size_t from, size_t to)
    {
        QHash<QByteArray, Found> found;
        if (from >= to)
            return found;
        for (int i = 0; i < Chunk; ++i) {
            const size_t k = from + size_t(i);
            const QByteArray digest = k < to ? storedDigest(files[k].digest) : QByteArray();
            query_.bindValue(i, k < to ? QVariant(digest.left(8)) : QVariant());
            query_.bindValue(Chunk + i, k < to ? QVariant(digest) : QVariant());
        }
        Database::run(query_);
        while (query_.next())
            found.insert(query_.value(0).toByteArray().toHex(),
                         {fromDbDateTime(query_.value(1)), query_.value(2).toLongLong()});
        query_.finish();
        return found;
    }
    // Sets importedBefore and importSeen of the files [from, to).
    void lookUp(std::vector<CardFile>& files, size_t from, size_t to)
    {
        const QHash<QByteArray, Found> found = find(files, from, to);
        if (found.isEmpty())
            return;
        for (size_t k = from; k < to; ++k) {
            const Found earlier = found.value(files[k].digest);
            files[k].importedBefore = earlier.last;
            files[k].importSeen = earlier.row;
        }
    }

private:
    QSqlQuery query_;
};

} // namespace

CardRead readCard(const CardScan& scan, const QDateTime& added, Progress& progress)
{
    CardRead read;
    read.root = scan.root;
    read.leftAlone = scan.leftAlone;
    read.files.reserve(size_t(scan.files.size()));
    const QString addedStored = toDbDateTime(added);
    progress.beginStage(QStringLiteral("Reading the .tree files on the storage card"), scan.files.size());
    progress.setCancellable(true);
    qint64 kept = 0;
    qint64 done = 0;
    for (const CardEntry& entry : scan.files) {
        if (progress.cancelRequested()) {
            read.cancelled = true;
            return read;
        }
        ReadItem item = readEntry(scan, entry, addedStored, kept);
        if (item.isFile)
            read.files.push_back(std::move(item.file));
        else
            read.leftAlone.append(item.leftAlone);
        progress.advance(++done);
    }
    sortByName(read.leftAlone);
    return read;
}

void findImportedBefore(Database& db, CardRead& read)
{
    DigestLookup lookup(db);
    QHash<QByteArray, QString> firstWith;
    for (size_t from = 0; from < read.files.size(); from += DigestLookup::Chunk)
        lookup.lookUp(read.files, from, std::min(read.files.size(), from + DigestLookup::Chunk));
    for (CardFile& file : read.files) {
        const auto earlier = firstWith.constFind(file.digest);
        if (earlier != firstWith.constEnd())
            file.sameAs = *earlier;
        else
            firstWith.insert(file.digest, file.entry.name);
    }
}

AlreadyImported alreadyImported(const CardRead& read)
{
    AlreadyImported already;
    for (const CardFile& file : read.files) {
        if (!file.values || !file.importedBefore.isValid())
            continue;
        ++already.count;
        const QDate day = file.importedBefore.date();
        if (!already.first.isValid() || day < already.first)
            already.first = day;
        if (!already.last.isValid() || day > already.last)
            already.last = day;
    }
    return already;
}

QString alreadyImportedQuestion(const AlreadyImported& already)
{
    const QString first = shownDate(already.first);
    const QString last = shownDate(already.last);
    const QString when = first == last ? QStringLiteral("on ") + first
                                       : QStringLiteral("between %1 and %2").arg(first, last);
    if (already.count == 1)
        return QStringLiteral("1 file on the card was already imported %1. Import it again?").arg(when);
    return QStringLiteral("%1 files on the card were already imported %2. Import them again?")
        .arg(already.count)
        .arg(when);
}

// ---------------------------------------------------------------- saving

TreeFileImporter::TreeFileImporter(Database& db, const QDateTime& added, const QString& user)
    : db_(db), insert_(db.prepare(insertStatement())), addedStored_(toDbDateTime(added)), user_(user),
      lastIdBefore_(db.scalar(QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM _Archived_SurveyData")).toLongLong())
{
}

QString TreeFileImporter::ImportTreeFile(const QString& path)
{
    QString why;
    const std::optional<TreeFileLines> lines = reader_.read(path, &why);
    if (!lines)
        return why;
    const std::optional<SurveyValues> values = toSurveyValues(*lines, addedStored_, &why);
    if (!values)
        return why;
    return addRecord(*values);
}

QString TreeFileImporter::addRecord(const SurveyValues& values, const CardFile* file)
{
    // The engine ends a transaction on its own after some failures; a record
    // added after that would be saved on its own.
    if (!db_.inTransaction())
        throw DbError(QStringLiteral("the import's transaction is no longer open"));
    for (int i = 0; i < treefile::FieldCount; ++i)
        insert_.bindValue(placeholders()[size_t(i)], values[size_t(i)]);
    try {
        Database::run(insert_);
    } catch (const DbError& error) {
        if (!refusesOnlyTheStatement(error) || !db_.inTransaction())
            throw;
        return error.message();
    }
    if (file)
        files_.push_back({file->digest, decodedName(file->entry.fsName), file->size, insert_.lastInsertId()});
    return {};
}

void TreeFileImporter::finish()
{
    if (!db_.inTransaction())
        throw DbError(QStringLiteral("the import's transaction is no longer open"));
    // The records of this import are those numbered above the largest
    // number before it: one history row each, in one statement.
    db_.exec(QStringLiteral("INSERT INTO _Survey_History (Survey_ID, Action, Changed_At, Changed_By) "
                            "SELECT ID, 'imported', ?, ? FROM _Archived_SurveyData WHERE ID > ? ORDER BY ID"),
             {addedStored_, user_, lastIdBefore_});
    lastIdBefore_ = db_.scalar(QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM _Archived_SurveyData")).toLongLong();
    // The files, many rows a statement.
    constexpr int Rows = 100;
    const QString row = QStringLiteral("(?, ?, ?, ?, ?)");
    QStringList rows;
    for (int i = 0; i < Rows; ++i)
        rows << row;
    const QString insert = QStringLiteral("INSERT INTO _Imported_Files (Digest, File_Name, Byte_Size, Imported_At, "
                                          "Survey_ID) VALUES ");
    QSqlQuery many = db_.prepare(insert + rows.join(QLatin1Char(',')));
    QSqlQuery one = db_.prepare(insert + row);
    size_t next = 0;
    const auto bind = [this](QSqlQuery& query, int at, const ImportedFile& file) {
        query.bindValue(at, storedDigest(file.digest));
        query.bindValue(at + 1, file.name);
        query.bindValue(at + 2, file.size);
        query.bindValue(at + 3, addedStored_);
        query.bindValue(at + 4, file.surveyId);
    };
    for (; next + Rows <= files_.size(); next += Rows) {
        for (int i = 0; i < Rows; ++i)
            bind(many, 5 * i, files_[next + size_t(i)]);
        Database::run(many);
    }
    for (; next < files_.size(); ++next) {
        bind(one, 0, files_[next]);
        Database::run(one);
    }
    files_.clear();
}

SaveResult saveRecords(Database& db, CardRead& read, bool importAgain, const QDateTime& added, const QString& user,
                       Progress& progress)
{
    SaveResult result;
    progress.beginStage(QStringLiteral("Saving the records"), qint64(read.files.size()));
    progress.setCancellable(true);
    const ImportSettings settings(db);
    Transaction transaction(db);
    {
        // The files may have been imported since they were read (by another
        // window, or the scheduled command line, while this import waited
        // for its question): looked up again inside the transaction that
        // saves, which no other import can enter, they are not saved twice.
        std::vector<std::optional<QDateTime>> meanwhile(read.files.size());
        {
            DigestLookup lookup(db);
            for (size_t from = 0; from < read.files.size(); from += DigestLookup::Chunk) {
                const size_t to = std::min(read.files.size(), from + DigestLookup::Chunk);
                const auto found = lookup.find(read.files, from, to);
                for (size_t k = from; k < to; ++k) {
                    const auto now = found.constFind(read.files[k].digest);
                    if (now != found.constEnd() && now->row > read.files[k].importSeen)
                        meanwhile[k] = now->last;
                }
            }
        }
        TreeFileImporter importer(db, added, user);
        qint64 done = 0;
        for (size_t k = 0; k < read.files.size(); ++k) {
            const CardFile& file = read.files[k];
            if (progress.cancelRequested()) {
                result = SaveResult{};
                result.cancelled = true;
                return result; // the transaction rolls back
            }
            if (!file.values) {
                result.refused.append({file.entry.name, file.refusal});
            } else if (meanwhile[k]) {
                result.skipped.append(
                    {file.entry.name,
                     QStringLiteral("imported meanwhile by another import, on %1").arg(shownDate(*meanwhile[k]))});
            } else if (file.importedBefore.isValid() && !importAgain) {
                result.skipped.append(
                    {file.entry.name, QStringLiteral("already imported on %1").arg(shownDate(file.importedBefore))});
            } else if (!file.sameAs.isEmpty()) {
                result.skipped.append({file.entry.name, QStringLiteral("the same bytes as %1").arg(file.sameAs)});
            } else {
                const QString why = importer.addRecord(*file.values, &file);
                if (why.isEmpty())
                    ++result.imported;
                else
                    result.refused.append({file.entry.name, why});
            }
            progress.advance(++done);
        }
        importer.finish();
    }
    // A Cancel pressed up to here is honoured; from here on it is not offered.
    progress.setCancellable(false);
    if (progress.cancelRequested()) {
        result = SaveResult{};
        result.cancelled = true;
        return result;
    }
    transaction.commit();
    return result;
}

// ---------------------------------------------------------------- the backup move

QString backupFolderPath(const QString& dataDir, const QDate& day)
{
    return QDir(dataDir).filePath(QStringLiteral("backup_") + day.toString(QStringLiteral("yyyyMMdd")));
}

bool CardFiles::canWriteIn(const QString& folder, QString* error)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".kolva-check-XXXXXX")));
    if (probe.open())
        return true;
    setError(error, probe.errorString());
    return false;
}

bool CardFiles::makeFolder(const QString& path, QString* error)
{
    if (QDir().mkpath(path) && QFileInfo(path).isDir())
        return true;
    setError(error, QStringLiteral("The backup folder %1 cannot be made.").arg(displayFolder(path)));
    return false;
}

namespace {

// "b.tree" -> "b-2.tree": the name of the n-th file of that name in one folder.
std::filesystem::path numberedName(const std::filesystem::path& name, int n)
{
    if (n < 2)
        return name;
    std::filesystem::path numbered = name.stem();
    numbered += "-" + std::to_string(n);
    numbered += name.extension();
    return numbered;
}

} // namespace

bool CardFiles::writeCopy(const QByteArray& bytes, std::filesystem::path& to, QString* error)
{
    // A short temporary name: the card's own name plus a suffix may pass
    // the file system's limit of 255 bytes.
    static std::atomic<quint64> counter{0};
    const std::filesystem::path folder = to.parent_path();
    const std::filesystem::path name = to.filename();
    std::filesystem::path partial;
    const auto fail = [&](const QString& why) {
        setError(error, QStringLiteral("%1 cannot be written: %2").arg(shownPath(to), why));
        if (!partial.empty()) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
        }
        return false;
    };
#ifdef Q_OS_UNIX
    // The copy is written under a new name of its own (never through a link
    // or into a file that is there) and then given its name, without
    // replacing anything: a copy of that name from another card stays.
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        partial = folder / QStringLiteral(".kolva-%1-%2.partial")
                               .arg(QCoreApplication::applicationPid())
                               .arg(counter.fetch_add(1))
                               .toStdString();
        fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int number = errno;
        partial.clear();
        return fail(systemReason(number));
    }
    qsizetype written = 0;
    int number = 0;
    while (written < bytes.size() && number == 0) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            number = n < 0 ? errno : EIO;
        else
            written += n;
    }
    if (::close(fd) != 0 && number == 0)
        number = errno;
    if (number != 0)
        return fail(systemReason(number));
    for (int n = 1; n < 1000; ++n) {
        to = folder / numberedName(name, n);
        // The same bytes under that name already: that copy is this file's.
        FileRead there = readCardFile(to);
        if (there.kind == FileRead::Kind::Read && there.bytes == bytes) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return true;
        }
        if (::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EINVAL) {
            // A file system without that kind of rename: a second link
            // refuses a name that exists just the same.
            if (::link(partial.c_str(), to.c_str()) == 0) {
                std::error_code ignored;
                std::filesystem::remove(partial, ignored);
                return true;
            }
        }
        if (errno != EEXIST)
            return fail(systemReason(errno));
    }
    to = folder / name;
    return fail(systemReason(EEXIST));
#else
    partial = folder / QStringLiteral(".kolva-%1.partial").arg(counter.fetch_add(1)).toStdString();
    QFile out(QString::fromStdWString(partial.native()));
    if (!out.open(QIODevice::NewOnly) || out.write(bytes) != bytes.size())
        return fail(out.errorString());
    out.close();
    if (out.error() != QFileDevice::NoError)
        return fail(out.errorString());
    for (int n = 1; n < 1000; ++n) {
        to = folder / numberedName(name, n);
        FileRead there = readCardFile(to);
        if (there.kind == FileRead::Kind::Read && there.bytes == bytes) {
            out.remove();
            return true;
        }
        if (out.rename(QString::fromStdWString(to.native())))
            return true; // QFile::rename never replaces a file
    }
    to = folder / name;
    return fail(out.errorString());
#endif
}

bool CardFiles::readBack(const std::filesystem::path& path, QByteArray* bytes, QString* error)
{
    FileRead file = readCardFile(path);
    if (file.kind == FileRead::Kind::Read) {
        *bytes = std::move(file.bytes);
        return true;
    }
    setError(error, QStringLiteral("The copy %1 cannot be read back: %2")
                        .arg(shownPath(path), file.error.isEmpty() ? QStringLiteral("not a plain file") : file.error));
    return false;
}

bool CardFiles::removeFile(const std::filesystem::path& path, QString* error)
{
    std::error_code failure;
    if (std::filesystem::remove(path, failure))
        return true;
    setError(error, QStringLiteral("%1 cannot be deleted: %2")
                        .arg(shownPath(path), failure ? QString::fromLocal8Bit(failure.message())
                                                      : QStringLiteral("it is no longer there")));
    return false;
}

bool CardFiles::flushToDisk(const QString& folder, QString* error)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::syncfs(fd) == 0;
    const int number = errno;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        setError(error, QStringLiteral("The copies in %1 cannot be put on the disk: %2")
                            .arg(displayFolder(folder), systemMessage(number)));
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

BackupResult moveToBackup(const CardRead& read, const QString& backupDir, CardFiles& files, Progress& progress)
{
    BackupResult result;
    const size_t count = read.files.size();
    const QString copying = QStringLiteral("Copying the files into the backup folder");
    const QString flushing = QStringLiteral("Putting the copies on the disk");
    const QString deleting = QStringLiteral("Deleting the moved files from the storage card");
    progress.beginStage(copying, qint64(count));
    progress.setCancellable(true);
    if (count == 0)
        return result;
    if (!files.makeFolder(backupDir, &result.error)) {
        result.failedName = read.files.front().entry.name;
        result.failedInBackup = true;
        return result;
    }
    const std::filesystem::path card = fsPath(read.root);
    const std::filesystem::path backup = fsPath(backupDir);
    const auto stop = [&result](const QString& name, const QString& why, bool inBackup = false) {
        if (result.error.isEmpty()) {
            result.failedName = name;
            result.error = why;
            result.failedInBackup = inBackup;
        }
    };
    const auto cancelled = [&] {
        if (progress.cancelRequested())
            result.cancelled = true;
        return result.cancelled;
    };
    // A file no longer on the card while the card is still there was taken
    // by someone else (another import moving the same card): it is theirs.
    // A card pulled out is not that.
    const auto takenOffTheCard = [&](const CardFile& file) {
        std::error_code ignored;
        return std::filesystem::symlink_status(card / file.entry.fsName, ignored).type() ==
                   std::filesystem::file_type::not_found &&
               isKolvaCard(read.root);
    };

    size_t next = 0;
    qint64 handled = 0; // moved, or taken off the card by someone else
    while (next < count && result.error.isEmpty() && !result.cancelled) {
        if (next > 0)
            progress.beginStage(copying, qint64(count));
        progress.advance(qint64(next));
        // Copy a batch, from the bytes already read.
        std::vector<size_t> copied;
        std::vector<std::filesystem::path> copies; // where each copy went
        std::vector<QByteArray> reread(MoveBatch);
        for (; next < count && copied.size() < MoveBatch; ++next) {
            if (cancelled())
                break;
            const CardFile& file = read.files[next];
            if (takenOffTheCard(file)) {
                result.gone << file.entry.name;
                ++handled;
                progress.advance(qint64(next + 1));
                continue;
            }
            const QByteArray* bytes = &file.bytes;
            if (!file.bytesKept) {
                FileRead again = readCardFile(card / file.entry.fsName);
                if (again.kind != FileRead::Kind::Read || digestOf(again.bytes) != QString::fromLatin1(file.digest)) {
                    stop(file.entry.name, again.kind == FileRead::Kind::Read
                                              ? QStringLiteral("%1 changed on the storage card after it was read.")
                                                    .arg(file.entry.name)
                                              : QStringLiteral("%1 cannot be read: %2").arg(file.entry.name, again.error));
                    break;
                }
                reread[copied.size()] = std::move(again.bytes);
                bytes = &reread[copied.size()];
            }
            QString why;
            std::filesystem::path copy = backup / file.entry.fsName;
            if (!files.writeCopy(*bytes, copy, &why)) {
                stop(file.entry.name, why, true);
                break;
            }
            copied.push_back(next);
            progress.advance(qint64(next + 1));
            copies.push_back(copy);
        }
        if (copied.empty())
            break;
        // Put the batch on the disk at once, before any original goes.
        progress.beginStage(flushing, 0);
        QString why;
        if (!files.flushToDisk(backupDir, &why)) {
            stop(read.files[copied.front()].entry.name, why, true);
            break;
        }
        // Then check each copy against the bytes read, and delete its
        // original unless it changed since.
        progress.beginStage(deleting, qint64(count));
        progress.advance(handled);
        for (size_t k = 0; k < copied.size(); ++k) {
            if (cancelled())
                break;
            const CardFile& file = read.files[copied[k]];
            const QByteArray& expected = file.bytesKept ? file.bytes : reread[k];
            QByteArray copy;
            if (!files.readBack(copies[k], &copy, &why)) {
                stop(file.entry.name, why, true);
                break;
            }
            if (copy != expected) {
                stop(file.entry.name,
                     QStringLiteral("The copy of %1 in %2 differs from the file read.")
                         .arg(file.entry.name, displayFolder(backupDir)),
                     true);
                break;
            }
            const std::optional<FileStamp> now = stampOf(card / file.entry.fsName);
            if (now && (now->size != file.size || now->modified != file.modified)) {
                stop(file.entry.name,
                     QStringLiteral("%1 changed on the storage card after it was read; it was not deleted.")
                         .arg(file.entry.name));
                break;
            }
            // Taken off the card since it was copied, the card still there:
            // its verified copy is in the backup folder, and it is no longer
            // on the card.
            if ((now || !takenOffTheCard(file)) && !files.removeFile(card / file.entry.fsName, &why)) {
                stop(file.entry.name, why);
                break;
            }
            result.moved << file.entry.name;
            if (copies[k].filename() != file.entry.fsName)
                result.renamed << NamedFile{file.entry.name,
                                            QStringLiteral("kept as ") + shownName(copies[k].filename())};
            progress.advance(++handled);
        }
    }
    return result;
}

QString displayFolder(const QString& path)
{
    QString shown = visibleText(QDir::toNativeSeparators(path));
    while (shown.size() > 1 && (shown.endsWith(QLatin1Char('/')) || shown.endsWith(QLatin1Char('\\'))))
        shown.chop(1);
    return shown;
}

// ---------------------------------------------------------------- the whole import

CardImport::CardImport(CardImportRequest request) : request_(std::move(request))
{
    if (!request_.openDatabase)
        request_.openDatabase = [](const QString& path) { return Database::open(path); };
    result_.cardRoot = request_.cardRoot;
    result_.keepBackup = request_.keepBackup;
    result_.backupDir = backupFolderPath(request_.dataDir, request_.now.date());
}

CardFiles& CardImport::files()
{
    return request_.files ? *request_.files : systemCardFiles();
}

bool CardImport::prepare()
{
    using Stop = CardImportResult::Stop;
    const QString& root = request_.cardRoot;
    const QFileInfo folder(root);
    if (root.isEmpty() || !folder.isDir() || !folder.isReadable()) {
        result_.stop = Stop::NoLocation;
        return false;
    }
    if (!isKolvaCard(root)) {
        result_.stop = Stop::NotACard;
        return false;
    }
    try {
        scan_ = scanCard(root);
    } catch (const CardAccessError& error) {
        result_.stop = Stop::NoLocation;
        result_.why = error.message();
        return false;
    }
    if (scan_.count() == 0) {
        result_.stop = Stop::NoFieldData;
        return false;
    }
    result_.found = scan_.count();

    // The database's journal and the backup folders are made in the data
    // folder: it must be writable before anything is read.
    QString why;
    if (!files().canWriteIn(request_.dataDir, &why)) {
        result_.stop = Stop::ProgramFolder;
        result_.why = QStringLiteral("The data folder %1 cannot be written: %2")
                          .arg(displayFolder(request_.dataDir), why);
        return false;
    }
    if (request_.keepBackup && QFileInfo(result_.backupDir).isDir() && !files().canWriteIn(result_.backupDir, &why)) {
        result_.stop = Stop::ProgramFolder;
        result_.why = QStringLiteral("The backup folder %1 cannot be written: %2")
                          .arg(displayFolder(result_.backupDir), why);
        return false;
    }
    const QFileInfo database(request_.databasePath);
    if (!database.isFile() || !database.isWritable()) {
        result_.stop = Stop::Database;
        result_.why = QStringLiteral("the database %1 cannot be written (it is read-only)")
                          .arg(displayFolder(request_.databasePath));
        return false;
    }
    return true;
}

void CardImport::importFiles(Progress& progress)
{
    using Stop = CardImportResult::Stop;
    progress.beginStage(QStringLiteral("Importing the .tree files"), scan_.files.size());
    progress.setCancellable(true);
    read_ = CardRead{};
    read_.root = scan_.root;
    read_.leftAlone = scan_.leftAlone;
    read_.files.reserve(size_t(scan_.files.size()));
    SaveResult save;
    try {
        std::unique_ptr<Database> db = request_.openDatabase(request_.databasePath);
        const ImportSettings settings(*db);
        Transaction transaction(*db);
        TreeFileImporter importer(*db, request_.now, request_.user);
        DigestLookup lookup(*db);
        EntryPrefetch entries(scan_, toDbDateTime(request_.now));
        QHash<QByteArray, QString> firstWith;
        // Files imported before wait for the question: then nothing more is
        // added, and the transaction is given up once all are read.
        bool waiting = false;
        size_t settled = 0;
        const auto settle = [&] {
            lookup.lookUp(read_.files, settled, read_.files.size());
            for (; settled < read_.files.size(); ++settled) {
                CardFile& file = read_.files[settled];
                const auto earlier = firstWith.constFind(file.digest);
                if (earlier != firstWith.constEnd())
                    file.sameAs = *earlier;
                else
                    firstWith.insert(file.digest, file.entry.name);
                if (!file.values) {
                    save.refused.append({file.entry.name, file.refusal});
                    continue;
                }
                waiting = waiting || file.importedBefore.isValid();
                if (waiting)
                    continue;
                if (!file.sameAs.isEmpty()) {
                    save.skipped.append({file.entry.name, QStringLiteral("the same bytes as %1").arg(file.sameAs)});
                    continue;
                }
                const QString why = importer.addRecord(*file.values, &file);
                if (why.isEmpty())
                    ++save.imported;
                else
                    save.refused.append({file.entry.name, why});
            }
        };
        for (qint64 done = 1; done <= scan_.files.size(); ++done) {
            if (progress.cancelRequested()) {
                result_.stop = Stop::Cancelled;
                return; // the transaction rolls back
            }
            ReadItem item = entries.next();
            if (item.isFile)
                read_.files.push_back(std::move(item.file));
            else
                read_.leftAlone.append(item.leftAlone);
            if (read_.files.size() - settled == size_t(DigestLookup::Chunk))
                settle();
            progress.advance(done);
        }
        settle();
        sortByName(read_.leftAlone);
        result_.leftAlone = read_.leftAlone;
        if (waiting) {
            waiting_ = true;
            return; // nothing is saved before the answer
        }
        importer.finish();
        // A Cancel pressed up to here is honoured; from here on it is not
        // offered, and none is left over for the move.
        progress.setCancellable(false);
        if (progress.cancelRequested()) {
            result_.stop = Stop::Cancelled;
            return;
        }
        transaction.commit();
    } catch (const CardAccessError& error) {
        result_.stop = error.cardGone() ? Stop::CardRemoved : Stop::CardUnreadable;
        result_.why = error.message();
        return;
    } catch (const DbError& error) {
        result_.stop = Stop::Database;
        result_.why = error.message();
        return;
    }
    saved(save);
    moveAndLog(progress);
}

std::optional<AlreadyImported> CardImport::alreadyImported() const
{
    if (!waiting_)
        return std::nullopt;
    const AlreadyImported already = kolva::alreadyImported(read_);
    if (already.count == 0)
        return std::nullopt;
    return already;
}

void CardImport::finish(Progress& progress, bool importAgain)
{
    using Stop = CardImportResult::Stop;
    waiting_ = false;
    SaveResult save;
    try {
        std::unique_ptr<Database> db = request_.openDatabase(request_.databasePath);
        save = saveRecords(*db, read_, importAgain, request_.now, request_.user, progress);
    } catch (const DbError& error) {
        result_.stop = Stop::Database;
        result_.why = error.message();
        return;
    }
    if (save.cancelled) {
        result_.stop = Stop::Cancelled;
        return;
    }
    saved(save);
    moveAndLog(progress);
}

void CardImport::saved(const SaveResult& save)
{
    result_.imported = save.imported;
    result_.refused = save.refused;
    result_.skipped = save.skipped;
}

void CardImport::moveAndLog(Progress& progress)
{
    if (request_.keepBackup) {
        const BackupResult moved = moveToBackup(read_, result_.backupDir, files(), progress);
        result_.moved = moved.moved;
        result_.moveStoppedAt = moved.failedName;
        result_.moveError = moved.error;
        result_.moveFailedInBackup = moved.failedInBackup;
        result_.renamed = moved.renamed;
        result_.moveCancelled = moved.cancelled;
        result_.goneFromCard = moved.gone;
        QSet<QString> gone(moved.moved.begin(), moved.moved.end());
        gone.unite(QSet<QString>(moved.gone.begin(), moved.gone.end()));
        for (const CardFile& file : read_.files)
            if (!gone.contains(file.entry.name))
                result_.stillOnCard << file.entry.name;
    }
    progress.setCancellable(false);
    if (!result_.refused.isEmpty() || !result_.leftAlone.isEmpty() || !result_.skipped.isEmpty() ||
        !result_.renamed.isEmpty() || !result_.moveError.isEmpty() || result_.moveCancelled)
        writeLog();
}

void CardImport::writeLog()
{
    const QString folder = request_.keepBackup && QFileInfo(result_.backupDir).isDir() ? result_.backupDir
                                                                                       : request_.dataDir;
    const QString path =
        QDir(folder).filePath(QStringLiteral("import_%1.log").arg(request_.now.toString(QStringLiteral("yyyyMMdd_HHmmss"))));
    QStringList lines;
    lines << QStringLiteral("KOLVA field data import of %1 by %2")
                 .arg(request_.now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), request_.user);
    lines << QStringLiteral("Storage card: %1").arg(displayFolder(request_.cardRoot));
    lines << QStringLiteral(".tree files on the card: %1; records saved: %2").arg(result_.found).arg(result_.imported);
    if (request_.keepBackup)
        lines << QStringLiteral("Moved into the backup folder %1: %2 files")
                     .arg(displayFolder(result_.backupDir))
                     .arg(result_.moved.size());
    const auto section = [&lines](const QString& title, const QList<NamedFile>& named) {
        if (named.isEmpty())
            return;
        lines << QString() << title.arg(named.size());
        for (const NamedFile& file : named)
            lines << file.name + QStringLiteral(": ") + file.reason;
    };
    section(QStringLiteral("Could not be imported (%1):"), result_.refused);
    section(QStringLiteral("Left on the storage card without being read (%1):"), result_.leftAlone);
    section(QStringLiteral("Not imported again (%1):"), result_.skipped);
    section(QStringLiteral("Kept in the backup folder under another name, beside a file of that name (%1):"),
            result_.renamed);
    if (!result_.moveError.isEmpty() || result_.moveCancelled) {
        lines << QString();
        if (result_.moveCancelled)
            lines << QStringLiteral("The move into the backup folder was cancelled.");
        else
            lines << QStringLiteral("The move into the backup folder stopped at %1: %2")
                         .arg(result_.moveStoppedAt, result_.moveError);
        lines << QStringLiteral("Still on the storage card (%1):").arg(result_.stillOnCard.size());
        lines << result_.stillOnCard;
    }
    // Written whole or not at all: never an empty or cut-short log.
    const QString failure = writeFileSafely(path, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (failure.isEmpty())
        result_.logFile = path;
    else
        result_.logError = failure;
}

CardImportResult importCard(const CardImportRequest& request, Progress& progress,
                            const std::function<bool(const AlreadyImported&)>& importAgain)
{
    CardImport import(request);
    if (!import.prepare())
        return import.result();
    import.importFiles(progress);
    if (const std::optional<AlreadyImported> already = import.alreadyImported())
        import.finish(progress, importAgain(*already));
    return import.result();
}

} // namespace kolva
