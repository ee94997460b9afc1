#pragma once
// Writing a file into a folder KOLVA did not make (a storage card, the backup
// folder, an export target): the new contents go to a temporary file made
// beside the entry and are renamed over it, so that a link, a pipe or a device
// in the file's place is never written through and a failed write leaves the
// old file as it was.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

namespace kolva {

// The system's words for an errno value, e.g. "No space left on device".
QString systemReason(int errorNumber);

// Writes a whole file into place: a temporary file created exclusively beside
// `path` (never through a link), flushed to disk, then renamed over the entry
// itself. Refuses, changing nothing, when the entry exists and is anything but
// a regular file (a symbolic link, a folder, a FIFO, a device); a replaced
// regular file keeps its mode. Returns an empty string on success, otherwise
// the reason in words naming the entry.
QString writeFileSafely(const QString& path, const QByteArray& contents);

// Streaming form: open() makes the temporary file, write through device(),
// commit() renames it into place; the destructor removes the temporary file
// unless committed. open()/commit() return "" or the reason.
class SafeFileWriter {
public:
    explicit SafeFileWriter(QString path);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    QString open();
    QIODevice& device();
    QString commit();
    // Puts what was written so far on the disk, without putting the file in
    // place: a full disk shows before anything else is changed. "" or the reason.
    QString flush();
    // After open() or commit() failed: the system's error number (errno);
    // for an entry refused for what it is, the number the system gives for
    // it (ELOOP for a link, EISDIR for a folder, EEXIST for anything else).
    int errorNumber() const { return errorNumber_; }

private:
    class Device;
    void discard();

    QString path_;
    QString tempPath_;
    std::unique_ptr<Device> device_;
    int fd_ = -1;
    int errorNumber_ = 0;
    bool keepMode_ = false;
    unsigned keptMode_ = 0;
};

// Copies a regular file into place the same way (never follows a link at
// either end).
QString copyFileSafely(const QString& from, const QString& to);

// What is at `path` when it is anything but a regular file, in words naming
// it ("Species.txt is a symbolic link"); empty for a regular file or nothing.
QString notARegularFile(const QString& path);

} // namespace kolva
