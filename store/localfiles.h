#pragma once
// Files in a folder of the user's as the operating system sees them: what a
// path names (a pipe, a device or a folder is never opened as a database),
// reading the first bytes of a file without waiting on anything, renaming
// without replacing, and scratch files that the program holds locked while
// it works, so that a later run tells the leftovers of a killed run from the
// files of a run still going.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace kolva {

enum class PathKind { Missing, Regular, Folder, Pipe, Device, Socket, Other };

// What the path names, following links ("Missing" also for a dangling link).
PathKind pathKind(const QString& path);
// For messages: "a folder", "a named pipe (FIFO)", "a device", ...
QString pathKindName(PathKind kind);
// Whether anything at all is there, a dangling link included.
bool pathEntryExists(const QString& path);

// The identity of a file: the device it lies on and its inode.
struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileId&) const = default;
};
std::optional<FileId> fileIdOf(const QString& path);
std::optional<FileId> fileIdOf(int fd);

// The first bytes of a file. Only a regular file is read; anything else is
// opened, if at all, without waiting for a writer or a device.
struct FileHead {
    PathKind kind = PathKind::Missing;
    QString error; // why a regular file could not be read; empty when it was
    QByteArray bytes;
    bool readable() const { return kind == PathKind::Regular && error.isEmpty(); }
};
FileHead readFileHead(const QString& path, qint64 size);

// Renames from to to, failing (with the reason in error) when to exists.
bool renameWithoutReplacing(const QString& from, const QString& to, QString* error);
// Puts a second name on a file; false with the reason when the file system
// has no hard links or the name exists (errnoOut tells which).
bool addHardLink(const QString& existing, const QString& newName, int* errnoOut);

// Holds an exclusive advisory lock (flock) on an open file for its life.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    // Opens the regular file at path and locks it without waiting. False when
    // it cannot be opened or another program holds the lock (busy() tells).
    bool tryLock(const QString& path);
    bool busy() const { return busy_; }
    int fd() const { return fd_; }
    QString error() const { return error_; }
    void release();

private:
    int fd_ = -1;
    bool busy_ = false;
    QString error_;
};

// A new empty file beside base, named base + tag + "-" + random letters,
// made exclusively and held locked while the object lives; removed with its
// journal when the object goes, unless keep() was called (after it was
// renamed into place).
class ScratchFile {
public:
    ScratchFile(const QString& base, const QString& tag);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    bool isOpen() const { return fd_ >= 0; }
    QString error() const { return error_; }
    QString path() const { return path_; }
    int fd() const { return fd_; }
    void keep();

private:
    QString path_;
    QString error_;
    int fd_ = -1;
    bool keep_ = false;
};

// The tags of the scratch files the program makes beside a database.
inline constexpr const char* ConvertingTag = ".converting";
inline constexpr const char* PartialTag = ".partial";

// Removes the scratch files beside base (base + a tag + anything, and their
// journals; the safe writer's ".base....tmp" files) that no running program
// holds: what a killed run left behind.
// Gives the names removed.
QStringList removeStaleScratchFiles(const QString& base);

} // namespace kolva
