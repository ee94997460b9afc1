#include "app/datalocation.h"

#include "platform/settings.h"
#include "store/databasetarget.h"
#include "store/kolvadb.h"
#include "store/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kolva {

namespace {

// Something is there (a broken link too: it is refused when opened, by name).
bool entryExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

DataLocation at(const QString& path, DataLocation::Source source)
{
    DataLocation location;
    location.databasePath = QFileInfo(path).absoluteFilePath();
    location.dataDir = QFileInfo(location.databasePath).absolutePath();
    location.source = source;
    return location;
}

// A database given by --database or the settings: a file, or a server
// database named by its URI, whose backups and logs go to the user's data
// folder.
DataLocation given(const QString& value, DataLocation::Source source, const EnvironmentFolders& folders)
{
    if (!isServerDatabaseUri(value))
        return at(value, source);
    DataLocation location;
    location.databasePath = value;
    location.dataDir = folders.userDataDir;
    location.source = source;
    return location;
}

} // namespace

EnvironmentFolders EnvironmentFolders::current()
{
    EnvironmentFolders folders;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        folders.userDataDir = QDir(data).filePath(QStringLiteral("kolva"));
#ifdef KOLVA_DATA_DIR
    folders.templateDatabase = QDir(QStringLiteral(KOLVA_DATA_DIR)).filePath(databaseFileName());
#else
    // A build that names no installed data folder: the usual place of an
    // installed KOLVA's supplied files.
    folders.templateDatabase = QStringLiteral("/usr/share/kolva/") + databaseFileName();
#endif
    return folders;
}

DataLocation resolveDataLocation(const QString& programDir, const EnvironmentFolders& folders,
                                 const Settings& settings, const QString& databaseOption)
{
    if (!databaseOption.isEmpty())
        return given(databaseOption, DataLocation::Source::Option, folders);
    if (const QString set = settings.databasePath(); !set.isEmpty())
        return given(set, DataLocation::Source::Settings, folders);
    const QString beside = databasePath(programDir);
    // Installed: nothing beside the program, and the supplied database is
    // where the package puts it.
    const bool installed = !entryExists(beside) && !folders.userDataDir.isEmpty() &&
                           !folders.templateDatabase.isEmpty() && QFileInfo(folders.templateDatabase).isFile();
    if (!installed)
        return at(beside, DataLocation::Source::BesideProgram);
    DataLocation location =
        at(QDir(folders.userDataDir).filePath(databaseFileName()), DataLocation::Source::UserData);
    if (!entryExists(location.databasePath))
        location.makeFrom = folders.templateDatabase;
    return location;
}

QString makeUserDatabase(const DataLocation& location)
{
    if (location.makeFrom.isEmpty())
        return {};
    const QString target = location.databasePath;
    const QString shownTarget = QDir::toNativeSeparators(target);
    if (!QDir().mkpath(location.dataDir))
        return QStringLiteral("The folder %1 cannot be made.").arg(QDir::toNativeSeparators(location.dataDir));
    if (const QString odd = notARegularFile(location.makeFrom); !odd.isEmpty())
        return odd;
    QFile source(location.makeFrom);
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("The supplied database %1 cannot be read: %2")
            .arg(QDir::toNativeSeparators(location.makeFrom), source.errorString());
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return QStringLiteral("The supplied database %1 cannot be read: %2")
            .arg(QDir::toNativeSeparators(location.makeFrom), source.errorString());

    // Written whole under a name of its own, then given its name only when
    // no other start has made the database meanwhile.
    QByteArray tempName = QFile::encodeName(target + QStringLiteral(".new-XXXXXX"));
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0)
        return QStringLiteral("%1 cannot be made: %2").arg(shownTarget, systemReason(errno));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0644 & ~mask);
    const auto failed = [&](int error) {
        ::close(fd);
        ::unlink(tempName.constData());
        return QStringLiteral("%1 cannot be made: %2").arg(shownTarget, systemReason(error));
    };
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed(errno);
        }
        written += n;
    }
    if (::fsync(fd) != 0)
        return failed(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(tempName.constData());
        return QStringLiteral("%1 cannot be made: %2").arg(shownTarget, systemReason(error));
    }
    const int linked = ::link(tempName.constData(), QFile::encodeName(target).constData());
    const int linkError = errno;
    ::unlink(tempName.constData());
    if (linked != 0 && linkError != EEXIST) // EEXIST: another start made it; that one is used
        return QStringLiteral("%1 cannot be made: %2").arg(shownTarget, systemReason(linkError));
    return {};
}

QString firstStartMessage(const DataLocation& location)
{
    return QStringLiteral("This is the first start of KOLVA for this account. KOLVA keeps its database in\n%1\n\n"
                          "A new database with the supplied lists has been made there. The storage card files "
                          "moved off a card and the import logs are kept in the same folder.")
        .arg(QDir::toNativeSeparators(location.databasePath));
}

} // namespace kolva
