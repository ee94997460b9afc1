#include "card/backupmove.h"

#include "platform/jobprogress.h"
#include "store/safefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <atomic>
#include <cerrno>
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

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

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
                            .arg(displayFolder(folder), systemReason(number)));
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
    result.moved = NameList(read.plan);
    result.gone = NameList(read.plan);
    const qint64 count = read.count();
    const QString copying = QStringLiteral("Copying the files into the backup folder");
    const QString flushing = QStringLiteral("Putting the copies on the disk");
    const QString deleting = QStringLiteral("Deleting the moved files from the storage card");
    progress.beginStage(copying, qint64(count));
    progress.setCancellable(true);
    if (count == 0)
        return result;
    if (!files.makeFolder(backupDir, &result.error)) {
        result.failedName = read.files->at(0).name();
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
        return std::filesystem::symlink_status(card / file.fsName, ignored).type() ==
                   std::filesystem::file_type::not_found &&
               isKolvaCard(read.root);
    };

    qint64 next = 0;
    qint64 handled = 0; // moved, or taken off the card by someone else
    while (next < count && result.error.isEmpty() && !result.cancelled) {
        if (next > 0)
            progress.beginStage(copying, qint64(count));
        progress.advance(qint64(next));
        // Copy a batch, from the bytes already read.
        const qint64 first = next;
        std::vector<CardFile> batch;
        try {
            batch = read.files->range(first, qint64(MoveBatch));
        } catch (const SpillError& error) {
            // What was kept of the files read is gone: the rest stays on the card.
            stop(displayFolder(backupDir), error.description(), true);
            break;
        }
        std::vector<size_t> copied; // places in the batch
        std::vector<std::filesystem::path> copies; // where each copy went
        for (; next < first + qint64(batch.size()); ++next) {
            if (cancelled())
                break;
            const CardFile& file = batch[size_t(next - first)];
            if (takenOffTheCard(file)) {
                result.gone << file.name();
                ++handled;
                progress.advance(qint64(next + 1));
                continue;
            }
            // The bytes read, or the file read again when they were not
            // kept; then it must still hold them.
            QByteArray reread;
            const QByteArray* bytes = read.bytesKept(next);
            if (!bytes) {
                FileRead again = readCardFile(card / file.fsName);
                if (again.kind != FileRead::Kind::Read || digestOf(again.bytes) != file.digest) {
                    stop(file.name(), again.kind == FileRead::Kind::Read
                                              ? QStringLiteral("%1 changed on the storage card after it was read.")
                                                    .arg(file.name())
                                              : QStringLiteral("%1 cannot be read: %2").arg(file.name(), again.error));
                    break;
                }
                reread = std::move(again.bytes);
                bytes = &reread;
            }
            QString why;
            std::filesystem::path copy = backup / file.fsName;
            if (!files.writeCopy(*bytes, copy, &why)) {
                stop(file.name(), why, true);
                break;
            }
            copied.push_back(size_t(next - first));
            progress.advance(qint64(next + 1));
            copies.push_back(copy);
        }
        if (copied.empty())
            continue; // stopped, or every file of the batch taken off the card
        // Put the batch on the disk at once, before any original goes.
        progress.beginStage(flushing, 0);
        QString why;
        if (!files.flushToDisk(backupDir, &why)) {
            stop(batch[copied.front()].name(), why, true);
            break;
        }
        // Then check each copy against the bytes read, and delete its
        // original unless it changed since.
        progress.beginStage(deleting, qint64(count));
        progress.advance(handled);
        for (size_t k = 0; k < copied.size(); ++k) {
            if (cancelled())
                break;
            const CardFile& file = batch[copied[k]];
            QByteArray copy;
            if (!files.readBack(copies[k], &copy, &why)) {
                stop(file.name(), why, true);
                break;
            }
            if (digestOf(copy) != file.digest) {
                stop(file.name(),
                     QStringLiteral("The copy of %1 in %2 differs from the file read.")
                         .arg(file.name(), displayFolder(backupDir)),
                     true);
                break;
            }
            const std::optional<FileStamp> now = stampOf(card / file.fsName);
            if (now && (now->size != file.size || now->modified != file.modified)) {
                stop(file.name(),
                     QStringLiteral("%1 changed on the storage card after it was read; it was not deleted.")
                         .arg(file.name()));
                break;
            }
            // Taken off the card since it was copied, the card still there:
            // its verified copy is in the backup folder, and it is no longer
            // on the card.
            if ((now || !takenOffTheCard(file)) && !files.removeFile(card / file.fsName, &why)) {
                stop(file.name(), why);
                break;
            }
            result.moved << file.name();
            if (copies[k].filename() != file.fsName)
                result.renamed << NamedFile{file.name(),
                                            QStringLiteral("kept as ") + shownName(copies[k].filename())};
            progress.advance(++handled);
        }
    }
    return result;
}

} // namespace kolva
