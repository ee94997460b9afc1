#include "store/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kolva {

namespace {

QString entryName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

QString failed(const QString& path, int errorNumber)
{
    return QStringLiteral("Could not write %1: %2").arg(entryName(path), systemReason(errorNumber));
}

QString kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

int numberFor(mode_t mode)
{
    return S_ISLNK(mode) ? ELOOP : S_ISDIR(mode) ? EISDIR : EEXIST;
}

QString describe(const QString& path, mode_t mode)
{
    return QStringLiteral("%1 is %2").arg(entryName(path), kindOf(mode));
}

// Writes all of `size` bytes, going on after a short write or an interruption;
// 0 or the errno of the failure.
int writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        data += n;
        size -= n;
    }
    return 0;
}

} // namespace

QString systemReason(int errorNumber)
{
    return QString::fromLocal8Bit(std::generic_category().message(errorNumber));
}

QString notARegularFile(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return describe(path, st.st_mode);
}

// The temporary file, written in large pieces; the first failure is kept and
// every later write refused, so that commit() can give the system's reason.
class SafeFileWriter::Device : public QIODevice {
public:
    explicit Device(int fd) : fd_(fd) { QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

    int flushPending()
    {
        if (error_ == 0 && !pending_.isEmpty()) {
            error_ = writeAll(fd_, pending_.constData(), pending_.size());
            if (error_ != 0)
                setErrorString(systemReason(error_));
        }
        pending_.clear();
        return error_;
    }
    int error() const { return error_; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (error_ != 0)
            return -1;
        pending_.append(data, size);
        if (pending_.size() >= chunk && flushPending() != 0)
            return -1;
        return size;
    }

private:
    static constexpr qsizetype chunk = 1 << 16;
    int fd_;
    int error_ = 0;
    QByteArray pending_;
};

SafeFileWriter::SafeFileWriter(QString path) : path_(std::move(path)) {}

SafeFileWriter::~SafeFileWriter()
{
    discard();
}

void SafeFileWriter::discard()
{
    device_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!tempPath_.isEmpty())
        ::unlink(QFile::encodeName(tempPath_).constData());
    tempPath_.clear();
}

QString SafeFileWriter::open()
{
    discard();
    const QByteArray target = QFile::encodeName(path_);
    struct stat st {};
    errorNumber_ = 0;
    if (::lstat(target.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            errorNumber_ = numberFor(st.st_mode);
            return describe(path_, st.st_mode);
        }
        keepMode_ = true;
        keptMode_ = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        errorNumber_ = errno;
        return failed(path_, errorNumber_);
    } else {
        keepMode_ = false;
    }

    // O_EXCL with O_CREAT never follows a link; a name that exists is tried again.
    const QFileInfo info(path_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp = info.dir().filePath(
            QStringLiteral(".%1.%2.tmp")
                .arg(info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int fd = ::open(QFile::encodeName(temp).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Held while it is written, so that a clean-up of files left by
            // a killed run (which takes the lock first) never removes it.
            ::flock(fd, LOCK_EX | LOCK_NB);
            fd_ = fd;
            tempPath_ = temp;
            device_ = std::make_unique<Device>(fd_);
            return {};
        }
        if (errno != EEXIST) {
            errorNumber_ = errno;
            return failed(path_, errorNumber_);
        }
    }
    errorNumber_ = EEXIST;
    return failed(path_, EEXIST);
}

QIODevice& SafeFileWriter::device()
{
    Q_ASSERT(device_);
    return *device_;
}

QString SafeFileWriter::flush()
{
    if (!device_) {
        errorNumber_ = EBADF;
        return failed(path_, EBADF);
    }
    int error = device_->flushPending();
    if (error == 0 && ::fsync(fd_) != 0)
        error = errno;
    if (error == 0)
        return {};
    errorNumber_ = error;
    return failed(path_, error);
}

QString SafeFileWriter::commit()
{
    if (!device_) {
        errorNumber_ = EBADF;
        return failed(path_, EBADF);
    }
    int error = device_->flushPending();
    if (error == 0 && keepMode_) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            error = errno;
        else if ((st.st_mode & 07777) != keptMode_ && ::fchmod(fd_, keptMode_) != 0)
            error = errno;
    }
    if (error == 0 && ::fsync(fd_) != 0)
        error = errno;
    device_.reset();
    if (::close(fd_) != 0 && error == 0)
        error = errno;
    fd_ = -1;
    if (error != 0) {
        discard();
        errorNumber_ = error;
        return failed(path_, error);
    }
    // The entry may have changed since open(): still nothing but a regular file
    // is replaced.
    struct stat st {};
    if (::lstat(QFile::encodeName(path_).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        discard();
        errorNumber_ = numberFor(st.st_mode);
        return describe(path_, st.st_mode);
    }
    if (::rename(QFile::encodeName(tempPath_).constData(), QFile::encodeName(path_).constData()) != 0) {
        errorNumber_ = errno;
        discard();
        return failed(path_, errorNumber_);
    }
    tempPath_.clear();
    // The new name on disk too; a file system that cannot sync a folder
    // (EINVAL) has nothing more to do, and the file is in place either way.
    const int dir = ::open(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

QString writeFileSafely(const QString& path, const QByteArray& contents)
{
    SafeFileWriter writer(path);
    if (QString reason = writer.open(); !reason.isEmpty())
        return reason;
    writer.device().write(contents);
    return writer.commit();
}

QString copyFileSafely(const QString& from, const QString& to)
{
    // O_NONBLOCK so that opening a pipe does not wait for a writer.
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) {
        const int error = errno;
        if (error == ELOOP)
            return describe(from, S_IFLNK);
        return QStringLiteral("Could not read %1: %2").arg(entryName(from), systemReason(error));
    }
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const QString reason = S_ISREG(st.st_mode) || st.st_mode == 0
            ? QStringLiteral("Could not read %1: %2").arg(entryName(from), systemReason(errno))
            : describe(from, st.st_mode);
        ::close(in);
        return reason;
    }
    ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);

    SafeFileWriter writer(to);
    QString reason = writer.open();
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    while (reason.isEmpty()) {
        const ssize_t n = ::read(in, buffer.data(), static_cast<size_t>(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            reason = QStringLiteral("Could not read %1: %2").arg(entryName(from), systemReason(errno));
        else if (n == 0)
            break;
        else if (writer.device().write(buffer.constData(), n) != n)
            break; // the reason comes from commit()
    }
    ::close(in);
    return reason.isEmpty() ? writer.commit() : reason;
}

} // namespace kolva
