#include "card/fieldimport.h"

#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cstring>
#include <filesystem>
#include <system_error>

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

QString insertStatement()
{
    QStringList columns;
    QStringList marks;
    for (const SurveyField& field : surveyFields()) {
        columns << QLatin1String(field.column);
        marks << QStringLiteral("?");
    }
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
    return QDir(root).entryList({QStringLiteral("*.tree")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

QStringList ImportResult::failedNames() const
{
    QStringList names;
    for (const FailedFile& file : failed)
        names << file.name;
    return names;
}

TreeFileImporter::TreeFileImporter(Database& db) : db_(db), insert_(db.prepare(insertStatement())) {}

QString TreeFileImporter::ImportTreeFile(const QString& path, const QDateTime& added)
{
    QString why;
    const std::optional<TreeFileLines> lines = reader_.read(path, &why);
    if (!lines)
        return why;
    const std::optional<SurveyValues> values = toSurveyValues(*lines, added, &why);
    if (!values)
        return why;
    try {
        Savepoint savepoint(db_, QStringLiteral("tree_file"));
        for (int i = 0; i < treefile::FieldCount; ++i)
            insert_.bindValue(i, (*values)[size_t(i)]);
        Database::run(insert_);
        savepoint.release();
    } catch (const DbError& error) {
        return error.message();
    }
    return {};
}

ImportResult importTreeFiles(Database& db, const QString& root, const QStringList& names, const QDateTime& added)
{
    ImportResult result;
    Transaction transaction(db);
    {
        TreeFileImporter importer(db);
        const QDir folder(root);
        for (const QString& name : names) {
            const QString why = importer.ImportTreeFile(folder.filePath(name), added);
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
