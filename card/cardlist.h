#pragma once
// What the import keeps of a card while it works: the card's list of names
// and what is kept of each file read. A card of the usual size is kept in
// memory; past a number of files both go into temporary files of their own
// in a folder given (the data folder), read back a batch at a time, so that
// the import takes the same memory for a card of any size. Either way the
// same code reads and writes them.

#include "store/errors.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <vector>

class QTemporaryFile;

namespace kolva {

// The files of a card kept in memory; a larger card goes to the disk.
constexpr qint64 DefaultFilesInMemory = 50000;

// The records an import sends a server in one stream (see recordsAStream).
constexpr qint64 DefaultRecordsAStream = 10000;

// Where what grows with the card goes: in memory up to filesInMemory files,
// past that in temporary files in folder (the system's temporary folder
// when empty).
struct SpillPlan {
    QString folder;
    qint64 filesInMemory = DefaultFilesInMemory;
    // On a server, the records sent in one stream, kept in memory (as sent)
    // until it ends, to name the one the server refuses.
    qint64 recordsAStream = DefaultRecordsAStream;
    bool onDisk(qint64 files) const { return files > filesInMemory; }
};

// A temporary file (its folder cannot be written, the disk is full) failed:
// said in words, with the folder.
class SpillError : public FileError {
public:
    using FileError::FileError;
};

// Bytes kept on the side, in memory or in a temporary file removed when it
// goes. Appends are gathered before they are written. Throws SpillError.
class SpillFile {
public:
    SpillFile(const QString& folder, bool onDisk);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    qint64 size() const { return size_; }
    bool onDisk() const { return file_ != nullptr; }
    // Adds the bytes at the end; gives where they begin.
    qint64 append(const char* data, qint64 count);
    void read(qint64 at, char* data, qint64 count) const;
    void write(qint64 at, const char* data, qint64 count);
    // Grows to count bytes, the new ones zero.
    void grow(qint64 count);
    // Puts the bytes kept in memory into a temporary file, from now on.
    void moveToDisk();

private:
    void flush() const;
    [[noreturn]] void failed(int number) const;

    QString folder_;
    std::unique_ptr<QTemporaryFile> file_;
    int fd_ = -1;
    mutable QByteArray bytes_; // in memory: everything; on the disk: the appends not yet written
    qint64 size_ = 0;
};

// The card's .tree files by name, in the order of its list.
class CardNames {
public:
    CardNames() = default;
    CardNames(std::unique_ptr<SpillFile> names, std::unique_ptr<SpillFile> places);
    qint64 size() const;
    std::filesystem::path at(qint64 place) const;
    // The names [from, from + count), fewer at the end.
    std::vector<std::filesystem::path> range(qint64 from, qint64 count) const;

private:
    std::unique_ptr<SpillFile> names_;  // each name: its length (4 bytes), its bytes
    std::unique_ptr<SpillFile> places_; // where each name begins (8 bytes)
};

// Gathers the names of a card as its folder lists them and puts them in the
// order of the card's list (shown names without regard to case, then the
// bytes): sorted in memory when few, else sorted in runs of
// plan.filesInMemory names written to the disk and merged.
class CardNamesBuilder {
public:
    explicit CardNamesBuilder(SpillPlan plan);
    ~CardNamesBuilder();
    void add(std::filesystem::path name);
    CardNames finish();

private:
    void writeRun();

    SpillPlan plan_;
    std::vector<std::filesystem::path> pending_;
    std::unique_ptr<SpillFile> runs_;
    std::vector<std::pair<qint64, qint64>> runBounds_; // [begin, end) of each run in runs_
    qint64 count_ = 0;
};

// Shown names in the order they were added, such as the files moved into
// the backup folder: in memory while few, past plan.filesInMemory in a
// temporary file. Copies share the names. Throws SpillError.
class NameList {
public:
    NameList() = default;
    explicit NameList(const SpillPlan& plan) : plan_(plan) {}
    NameList(std::initializer_list<QString> names);

    void append(const QString& name);
    NameList& operator<<(const QString& name)
    {
        append(name);
        return *this;
    }
    qint64 size() const { return count_; }
    bool isEmpty() const { return count_ == 0; }
    // The names [from, from + count), fewer at the end.
    QStringList range(qint64 from, qint64 count) const;
    // All of them, for a list known to be short.
    QStringList toList() const { return range(0, count_); }
    friend bool operator==(const NameList& a, const QStringList& b) { return a.size() == b.size() && a.toList() == b; }

private:
    SpillPlan plan_;
    std::shared_ptr<SpillFile> names_;  // each name: its length (4 bytes), its UTF-8 bytes
    std::shared_ptr<SpillFile> places_; // where each name begins (8 bytes)
    qint64 count_ = 0;
};

// Goes through a NameList in order, a batch at a time.
class NameCursor {
public:
    explicit NameCursor(const NameList& list) : list_(list) {}
    // True, and on to the next name, when the next name is this one.
    bool take(const QString& name);

private:
    const NameList& list_;
    QStringList batch_;
    qint64 next_ = 0; // of the list
    qsizetype inBatch_ = 0;
};

// The SHA-256 digest of a file's bytes, its 32 bytes.
using FileDigest = std::array<char, 32>;

// The last import of a file's bytes before this one.
struct EarlierImport {
    QDateTime last;  // its time
    qint64 seen = 0; // the last row of _Imported_Files of the same bytes when they were looked up
};

// What the import keeps of each .tree file it read. The record itself is not
// kept; where it is needed again, the file is read again and its digest
// compared.
struct CardFile {
    std::filesystem::path fsName; // the name exactly as the file system holds it
    FileDigest digest{};
    qint64 modified = 0; // the time of the last change as read, to notice a change before deleting
    qint32 size = 0;     // no larger than MaxTreeFileBytes
    qint32 sameAs = -1;  // the earlier file of this card with the same bytes (its place in the list), if any
    QString refusal;     // why the file cannot become a record; empty when it can
    EarlierImport earlier; // the earlier import of the same bytes, if any

    // As shown: UTF-8, or else read as Windows-1252.
    QString name() const;
    bool refused() const { return !refusal.isEmpty(); }
};

// The files read, in list order: fixed records, with the names and refusals
// beside them, and a table of the first file with each digest. Throws
// SpillError.
class CardFileList {
public:
    // expected: the most files the list will hold (the card's names).
    CardFileList(const SpillPlan& plan, qint64 expected);
    qint64 size() const { return count_; }
    // Adds the file at the end.
    void append(const CardFile& file);
    CardFile at(qint64 place) const;
    // The files [from, from + count), fewer at the end.
    std::vector<CardFile> range(qint64 from, qint64 count) const;
    // The place of the first file with the digest; -1, and place noted as
    // the first, when there is none. Called for every place in list order,
    // the file at place not yet appended.
    qint32 firstWith(const FileDigest& digest, qint32 place);

private:
    std::unique_ptr<SpillFile> records_;
    std::unique_ptr<SpillFile> texts_;
    std::unique_ptr<SpillFile> digests_; // slots of the first 8 bytes of a digest and its place + 1
    qint64 slots_ = 0;
    qint64 count_ = 0;
};

} // namespace kolva
