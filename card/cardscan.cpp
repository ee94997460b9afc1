#include "card/cardscan.h"

#include "store/codepage.h"
#include "store/dates.h"
#include "store/safefile.h"
#include "store/textroutines.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <system_error>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kolva {

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(bytes);
}

QString notRegularReason()
{
    return QStringLiteral("is a link or a special file, not a field data file; left alone");
}

QString tooLargeReason(qint64 size)
{
    return QStringLiteral("is %1 bytes, larger than any field data file (1 MiB); left alone").arg(sizeText(size));
}

} // namespace

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


FileDigest digestOf(const QByteArray& bytes)
{
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    FileDigest digest{};
    std::copy_n(hash.constData(), std::min<qsizetype>(hash.size(), qsizetype(digest.size())), digest.begin());
    return digest;
}

QByteArray digestBytes(const FileDigest& digest)
{
    return QByteArray(digest.data(), qsizetype(digest.size()));
}


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


FileRead readCardFile(const std::filesystem::path& path)
{
    FileRead result;
#ifdef Q_OS_UNIX
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.kind = errno == ELOOP ? FileRead::Kind::NotRegular : FileRead::Kind::Failed;
        result.error = systemReason(errno);
        return result;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        result.error = systemReason(errno);
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
            result.error = systemReason(errno);
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


// ---------------------------------------------------------------- the card

namespace {

// A name of printable ASCII characters alone is shown as it is.
bool shownAsItIs(const std::string& name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

int compareShownNames(const std::filesystem::path& a, const std::filesystem::path& b)
{
#ifndef Q_OS_WIN
    // The usual names, compared without making their shown names: a card
    // may hold a great many of them.
    const std::string& x = a.native();
    const std::string& y = b.native();
    if (shownAsItIs(x) && shownAsItIs(y)) {
        const auto [at, other] =
            std::mismatch(x.begin(), x.end(), y.begin(), y.end(),
                          [](char p, char q) { return asciiLower(p) == asciiLower(q); });
        if (at != x.end() && other != y.end())
            return asciiLower(*at) < asciiLower(*other) ? -1 : 1;
        return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
    }
#endif
    const int order = shownName(a).compare(shownName(b), Qt::CaseInsensitive);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

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
    : FileError(message), cardGone_(cardGone),
      fileName_(std::move(fileName))
{
}

CardScan scanCard(const QString& root, const SpillPlan& plan)
{
    CardScan scan;
    scan.root = root;
    scan.plan = plan;
    CardNamesBuilder names(plan);
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
        names.add(fsName);
    }
    if (failure)
        throw CardAccessError(QStringLiteral("The folder %1 cannot be read: %2")
                                  .arg(displayFolder(root), QString::fromLocal8Bit(failure.message())),
                              !QFileInfo(root).isDir());
    scan.files = names.finish();
    sortByName(scan.leftAlone);
    return scan;
}


QString displayFolder(const QString& path)
{
    QString shown = visibleText(QDir::toNativeSeparators(path));
    while (shown.size() > 1 && (shown.endsWith(QLatin1Char('/')) || shown.endsWith(QLatin1Char('\\'))))
        shown.chop(1);
    return shown;
}

namespace {

// What keeping a file's bytes counts at least against the budget.
constexpr qint64 KeptFileLeast = 256;

// Reads one entry. Throws CardAccessError when it cannot be read: the card
// went away, or its file system fails.
ReadItem readEntry(const QString& root, const std::filesystem::path& fsName, const QString& addedStored,
                   qint64& keepBytes)
{
    ReadItem item;
    FileRead file = readCardFile(fsPath(root) / fsName);
    const auto name = [&fsName] { return shownName(fsName); };
    switch (file.kind) {
    case FileRead::Kind::Failed:
        // A card that went away, or a failing one: not a bad file.
        if (!QFileInfo(root).isDir() || !isKolvaCard(root))
            throw CardAccessError(QStringLiteral("The storage card was removed while its files were read."), true,
                                  name());
        throw CardAccessError(QStringLiteral("%1 cannot be read: %2").arg(name(), file.error), false, name());
    case FileRead::Kind::NotRegular:
        item.leftAlone = {name(), notRegularReason()};
        return item;
    case FileRead::Kind::TooLarge:
        item.leftAlone = {name(), tooLargeReason(file.stamp.size)};
        return item;
    case FileRead::Kind::Read:
        break;
    }
    item.isFile = true;
    CardFile& card = item.file;
    card.fsName = fsName;
    card.size = qint32(file.bytes.size());
    card.modified = file.stamp.modified;
    card.digest = digestOf(file.bytes);
    if (const std::optional<TreeFileLines> lines = TreeFileReader::parse(file.bytes, &card.refusal))
        item.values = toSurveyValues(*lines, addedStored, &card.refusal);
    if (!item.values && card.refusal.isEmpty())
        card.refusal = QStringLiteral("cannot be read as a field data file");
    if (item.values)
        card.refusal.clear();
    // An empty file counts as a little, so that the kept files are few.
    const qint64 cost = std::max<qint64>(card.size, KeptFileLeast);
    if (cost <= keepBytes) {
        keepBytes -= cost;
        item.bytes = std::move(file.bytes);
        item.bytesKept = true;
    }
    return item;
}

} // namespace

EntryPrefetch::EntryPrefetch(QString root, QString addedStored, qint64 keepBytes)
    : root_(std::move(root)), addedStored_(std::move(addedStored)), keepBytes_(keepBytes), worker_([this] { run(); })
{
}

void EntryPrefetch::supply(std::vector<std::filesystem::path> names)
{
    if (names.empty())
        return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (std::filesystem::path& name : names)
            names_.push_back(std::move(name));
    }
    supplied_.notify_one();
}

EntryPrefetch::~EntryPrefetch()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    space_.notify_all();
    supplied_.notify_all();
    worker_.join();
}

ReadItem EntryPrefetch::next()
{
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !queue_.empty() || failure_; });
    if (queue_.empty())
        std::rethrow_exception(failure_);
    ReadItem item = std::move(queue_.front());
    queue_.pop_front();
    // The reader sleeps while the queue is full; it is woken once half of
    // it has been used, not for every file.
    const bool wake = queue_.size() == Ahead / 2;
    lock.unlock();
    if (wake)
        space_.notify_one();
    return item;
}

void EntryPrefetch::run()
{
    for (;;) {
        std::filesystem::path name;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            supplied_.wait(lock, [this] { return stop_ || !names_.empty(); });
            if (stop_)
                return;
            name = std::move(names_.front());
            names_.pop_front();
        }
        ReadItem item;
        try {
            item = readEntry(root_, name, addedStored_, keepBytes_);
        } catch (...) {
            // Handed to the reader of the items, which throws it on.
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

} // namespace kolva
