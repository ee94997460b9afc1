#include "store/localfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kolva {

namespace {

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

PathKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return PathKind::Regular;
    if (S_ISDIR(mode))
        return PathKind::Folder;
    if (S_ISFIFO(mode))
        return PathKind::Pipe;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return PathKind::Device;
    if (S_ISSOCK(mode))
        return PathKind::Socket;
    return PathKind::Other;
}

bool isJournal(const QString& name)
{
    return name.endsWith(QLatin1String("-journal")) || name.endsWith(QLatin1String("-wal"))
           || name.endsWith(QLatin1String("-shm"));
}

QString journalOwner(const QString& name)
{
    return name.left(name.lastIndexOf(QLatin1Char('-')));
}

} // namespace

PathKind pathKind(const QString& path)
{
    struct stat st;
    if (::stat(encoded(path).constData(), &st) != 0)
        return PathKind::Missing;
    return kindOf(st.st_mode);
}

QString pathKindName(PathKind kind)
{
    switch (kind) {
    case PathKind::Missing: return QStringLiteral("missing");
    case PathKind::Regular: return QStringLiteral("a file");
    case PathKind::Folder: return QStringLiteral("a folder");
    case PathKind::Pipe: return QStringLiteral("a named pipe (FIFO)");
    case PathKind::Device: return QStringLiteral("a device");
    case PathKind::Socket: return QStringLiteral("a socket");
    case PathKind::Other: break;
    }
    return QStringLiteral("not a file of any kind KOLVA knows");
}

bool pathEntryExists(const QString& path)
{
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) == 0;
}

std::optional<FileId> fileIdOf(const QString& path)
{
    struct stat st;
    if (::stat(encoded(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId{quint64(st.st_dev), quint64(st.st_ino)};
}

std::optional<FileId> fileIdOf(int fd)
{
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return std::nullopt;
    return FileId{quint64(st.st_dev), quint64(st.st_ino)};
}

FileHead readFileHead(const QString& path, qint64 size)
{
    FileHead head;
    // The kind first: opening a pipe or a device may wait or have effects.
    head.kind = pathKind(path);
    if (head.kind != PathKind::Regular)
        return head;
    // Non-blocking all the same, should the entry be swapped meanwhile.
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            head.kind = PathKind::Missing;
        else
            head.error = errnoText(error);
        return head;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        head.error = errnoText(errno);
    } else if ((head.kind = kindOf(st.st_mode)) == PathKind::Regular) {
        head.bytes.resize(size);
        qint64 got = 0;
        while (got < size) {
            const ssize_t n = ::pread(fd, head.bytes.data() + got, size_t(size - got), got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                head.error = errnoText(errno);
                break;
            }
            if (n == 0)
                break;
            got += n;
        }
        head.bytes.truncate(got);
    }
    ::close(fd);
    return head;
}

bool renameWithoutReplacing(const QString& from, const QString& to, QString* error)
{
    if (::renameat2(AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(to).constData(), RENAME_NOREPLACE) == 0)
        return true;
    int failure = errno;
    if (failure == EINVAL || failure == ENOSYS || failure == EOPNOTSUPP) {
        // A file system without the flag: a second name, then the first goes.
        if (::link(encoded(from).constData(), encoded(to).constData()) == 0) {
            ::unlink(encoded(from).constData());
            return true;
        }
        failure = errno;
    }
    if (error)
        *error = errnoText(failure);
    return false;
}

bool addHardLink(const QString& existing, const QString& newName, int* errnoOut)
{
    if (::link(encoded(existing).constData(), encoded(newName).constData()) == 0)
        return true;
    if (errnoOut)
        *errnoOut = errno;
    return false;
}

// ---------------------------------------------------------------- FileLock

FileLock::~FileLock()
{
    release();
}

void FileLock::release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool FileLock::tryLock(const QString& path)
{
    release();
    busy_ = false;
    error_.clear();
    fd_ = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errnoText(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = QStringLiteral("not a regular file");
        release();
        return false;
    }
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        busy_ = errno == EWOULDBLOCK;
        error_ = errnoText(errno);
        release();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- ScratchFile

ScratchFile::ScratchFile(const QString& base, const QString& tag)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = base + tag + QLatin1Char('-');
        for (int i = 0; i < 8; ++i)
            name += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))]);
        const int fd = ::open(encoded(name).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            error_ = errnoText(errno);
            return;
        }
        // Locked before anything is written. A cleaner that took it first
        // removed it: the name then names no file of ours, and we try again.
        if (::flock(fd, LOCK_EX) != 0 || fileIdOf(name) != fileIdOf(fd)) {
            ::close(fd);
            continue;
        }
        fd_ = fd;
        path_ = name;
        return;
    }
    error_ = QStringLiteral("no free name for a temporary file beside %1").arg(QDir::toNativeSeparators(base));
}

ScratchFile::~ScratchFile()
{
    if (fd_ < 0)
        return;
    if (!keep_) {
        for (const char* journal : {"-journal", "-wal", "-shm"})
            QFile::remove(path_ + QLatin1String(journal));
        ::unlink(encoded(path_).constData());
    }
    ::close(fd_);
}

void ScratchFile::keep()
{
    keep_ = true;
}

QStringList removeStaleScratchFiles(const QString& base)
{
    const QFileInfo info(base);
    const QDir folder = info.absoluteDir();
    const QString name = info.fileName();
    QStringList found;
    for (const char* tag : {ConvertingTag, PartialTag})
        found += folder.entryList({name + QLatin1String(tag) + QLatin1Char('*')},
                                  QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    // The safe writer's temporary files of the database's own files (the
    // conversion log, ...), left by a run killed while it wrote them.
    found += folder.entryList({QLatin1Char('.') + name + QLatin1String(".*.tmp")},
                              QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    found.removeDuplicates();
    QStringList removed;
    for (const QString& file : std::as_const(found)) {
        if (isJournal(file))
            continue;
        FileLock lock;
        if (!lock.tryLock(folder.filePath(file)))
            continue; // a running program holds it, or it cannot be opened
        for (const char* journal : {"-journal", "-wal", "-shm"}) {
            if (QFile::remove(folder.filePath(file + QLatin1String(journal))))
                removed << file + QLatin1String(journal);
        }
        if (::unlink(encoded(folder.filePath(file)).constData()) == 0)
            removed << file;
    }
    // A journal whose database is gone.
    for (const QString& file : std::as_const(found)) {
        if (isJournal(file) && !pathEntryExists(folder.filePath(journalOwner(file)))
            && QFile::remove(folder.filePath(file)))
            removed << file;
    }
    return removed;
}

} // namespace kolva
