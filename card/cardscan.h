#pragma once
// The storage card as the import sees it: recognising it, listing its .tree
// files, and reading them one by one without following a link or blocking
// on a special file, a bounded number of files ahead of their use.

#include "card/cardlist.h"
#include "card/treefile.h"
#include "store/errors.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kolva {

// The file that marks a folder as a KOLVA storage card. The handheld's card
// is a FAT volume: this name and the .tree pattern match in any case.
QString cardMarkerName();
bool isKolvaCard(const QString& root);

// No field data file is larger: a larger file is named and left alone.
constexpr qint64 MaxTreeFileBytes = 1024 * 1024;

// A file or folder named in a closing message, and why.
struct NamedFile {
    QString name;
    QString reason;
};

// The .tree entries of a card's root folder. Only regular files are field
// data: links and special files (a pipe, a device) are never opened, files
// larger than MaxTreeFileBytes never read. Hidden files (such as the "._"
// files some systems leave beside copies) and folders are not field data.
// A card of many files keeps its names on the disk (plan).
struct CardScan {
    QString root;
    SpillPlan plan;
    CardNames files;            // in alphabetical order without regard to case
    QList<NamedFile> leftAlone; // never opened, left on the card
    int count() const { return int(files.size() + leftAlone.size()); }
};
// Throws CardAccessError when the folder cannot be listed.
CardScan scanCard(const QString& root, const SpillPlan& plan = {});

// The card cannot be read: it went away, or the file system fails.
class CardAccessError : public FileError {
public:
    CardAccessError(const QString& message, bool cardGone, QString fileName = {});
    QString message() const { return userText(); }
    bool cardGone() const { return cardGone_; }
    QString fileName() const { return fileName_; }

private:
    bool cardGone_;
    QString fileName_;
};

// The files of a card read.
struct CardRead {
    QString root;
    SpillPlan plan; // the card's
    std::unique_ptr<CardFileList> files; // in list order
    QList<NamedFile> leftAlone;  // from the scan, and files that turned out not to be regular
    // By place in files: the bytes while the budget for them lasted, for the
    // backup copy (without them the copy reads the card again).
    QHash<qint32, QByteArray> keptBytes;

    qint64 count() const { return files ? files->size() : 0; }
    const QByteArray* bytesKept(qint64 at) const
    {
        const auto found = keptBytes.constFind(qint32(at));
        return found == keptBytes.constEnd() ? nullptr : &*found;
    }
};

// The folder as the user sees it: native separators and no trailing
// separator, except for "/" itself (so the Windows root "E:/" shows as "E:").
QString displayFolder(const QString& path);

// ---------------------------------------------------------------- reading files

// A name as the user sees it in messages and logs: UTF-8 when the bytes are
// UTF-8, else the handheld's code page; a line break or a direction override
// inside it is shown, not obeyed.
QString shownName(const std::filesystem::path& name);
// The name as it is, without making its control characters visible.
QString decodedName(const std::filesystem::path& name);
std::filesystem::path fsPath(const QString& path);
QString shownPath(const std::filesystem::path& path);
FileDigest digestOf(const QByteArray& bytes);
QByteArray digestBytes(const FileDigest& digest);
void sortByName(QList<NamedFile>& files);
// The order of the card's list: the shown names compared without regard to
// case; below zero when a comes first.
int compareShownNames(const std::filesystem::path& a, const std::filesystem::path& b);

// The size and last change of a file, without following a link.
struct FileStamp {
    qint64 size = -1;
    qint64 modified = 0;
};
std::optional<FileStamp> stampOf(const std::filesystem::path& path);

// Reading one card file: never follows a link, never blocks on a pipe or a
// device, never reads more than a field data file can hold.
struct FileRead {
    enum class Kind { Read, NotRegular, TooLarge, Failed };
    Kind kind = Kind::Failed;
    QByteArray bytes;
    FileStamp stamp;
    QString error;
};
FileRead readCardFile(const std::filesystem::path& path);

// One .tree entry read: a file with its record (or why not), or a file that
// turned out not to be one to read.
struct ReadItem {
    bool isFile = false;
    CardFile file;          // with its refusal, if any
    QByteArray bytes;       // its bytes, while the budget for them lasts
    bool bytesKept = false;
    std::optional<SurveyValues> values; // the record, unless refused
    NamedFile leftAlone;
};

// Reads the entries supplied, in order, on a thread of its own, a bounded
// number of files ahead of the one in use. It touches neither the database
// nor a window, nor the card's list: the names to read are handed to it a
// batch at a time, ahead of their use. The bytes of the files are kept in
// the items read until keepBytes of them are kept; keepBytes counts down.
class EntryPrefetch {
public:
    EntryPrefetch(QString root, QString addedStored, qint64 keepBytes);
    ~EntryPrefetch();
    EntryPrefetch(const EntryPrefetch&) = delete;
    EntryPrefetch& operator=(const EntryPrefetch&) = delete;

    // Adds names to read after those supplied before.
    void supply(std::vector<std::filesystem::path> names);
    // The next entry, of the names supplied. Throws CardAccessError when a file cannot be read
    // (the card went away, or its file system fails): a file that cannot be
    // read is not a bad file.
    ReadItem next();

private:
    static constexpr size_t Ahead = 256;
    void run();

    const QString root_;
    const QString addedStored_;
    qint64 keepBytes_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable space_;
    std::condition_variable supplied_;
    std::deque<std::filesystem::path> names_;
    std::deque<ReadItem> queue_;
    std::exception_ptr failure_;
    bool stop_ = false;
    std::thread worker_; // last: it starts once everything else is made
};

} // namespace kolva
