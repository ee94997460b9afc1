#include "card/cardlist.h"

#include "card/cardscan.h"
#include "store/safefile.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kolva {

namespace {

// Appends to a file on the disk are written this many bytes at a time.
constexpr qsizetype AppendBuffer = 64 * 1024;

template <typename T>
void put(QByteArray& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), qsizetype(sizeof value));
}

template <typename T>
T take(const char*& from)
{
    T value;
    std::memcpy(&value, from, sizeof value);
    from += sizeof value;
    return value;
}

} // namespace

// ---------------------------------------------------------------- SpillFile

SpillFile::SpillFile(const QString& folder, bool onDisk)
    : folder_(folder.isEmpty() ? QDir::tempPath() : folder)
{
    if (!onDisk)
        return;
    file_ = std::make_unique<QTemporaryFile>(QDir(folder_).filePath(QStringLiteral(".kolva-import-XXXXXX")));
    if (!file_->open())
        throw SpillError(QStringLiteral("The data folder %1 cannot be written: %2")
                             .arg(displayFolder(folder_), file_->errorString()));
    fd_ = int(file_->handle());
}

SpillFile::~SpillFile() = default;

void SpillFile::failed(int number) const
{
    throw SpillError(number, QStringLiteral("The data folder %1 cannot be written: %2")
                                 .arg(displayFolder(folder_), systemReason(number)));
}

qint64 SpillFile::append(const char* data, qint64 count)
{
    const qint64 at = size_;
    bytes_.append(data, qsizetype(count));
    size_ += count;
    if (file_ && bytes_.size() >= AppendBuffer)
        flush();
    return at;
}

void SpillFile::flush() const
{
    if (!file_ || bytes_.isEmpty())
        return;
#ifdef Q_OS_UNIX
    const qint64 at = size_ - bytes_.size();
    qsizetype written = 0;
    while (written < bytes_.size()) {
        const ssize_t n = ::pwrite(fd_, bytes_.constData() + written, size_t(bytes_.size() - written), off_t(at + written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failed(n < 0 ? errno : EIO);
        written += n;
    }
#else
    if (!file_->seek(size_ - bytes_.size()) || file_->write(bytes_) != bytes_.size())
        throw SpillError(QStringLiteral("The data folder %1 cannot be written: %2")
                             .arg(displayFolder(folder_), file_->errorString()));
#endif
    bytes_.clear();
}

void SpillFile::read(qint64 at, char* data, qint64 count) const
{
    if (count <= 0)
        return;
    if (!file_) {
        std::memcpy(data, bytes_.constData() + at, size_t(count));
        return;
    }
    flush();
#ifdef Q_OS_UNIX
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, data + done, size_t(count - done), off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failed(n < 0 ? errno : EIO);
        done += n;
    }
#else
    if (!file_->seek(at) || file_->read(data, count) != count)
        throw SpillError(QStringLiteral("The data folder %1 cannot be read: %2")
                             .arg(displayFolder(folder_), file_->errorString()));
#endif
}

void SpillFile::write(qint64 at, const char* data, qint64 count)
{
    if (!file_) {
        std::memcpy(bytes_.data() + at, data, size_t(count));
        return;
    }
    flush();
#ifdef Q_OS_UNIX
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd_, data + done, size_t(count - done), off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failed(n < 0 ? errno : EIO);
        done += n;
    }
#else
    if (!file_->seek(at) || file_->write(data, count) != count)
        throw SpillError(QStringLiteral("The data folder %1 cannot be written: %2")
                             .arg(displayFolder(folder_), file_->errorString()));
#endif
}

void SpillFile::grow(qint64 count)
{
    if (count <= size_)
        return;
    if (!file_) {
        bytes_.resize(qsizetype(count), '\0');
        size_ = count;
        return;
    }
    flush();
    // The new bytes read as zero without being written.
    if (!file_->resize(count))
        throw SpillError(QStringLiteral("The data folder %1 cannot be written: %2")
                             .arg(displayFolder(folder_), file_->errorString()));
    size_ = count;
}

void SpillFile::moveToDisk()
{
    if (file_)
        return;
    SpillFile disk(folder_, true);
    disk.append(bytes_.constData(), bytes_.size());
    file_ = std::move(disk.file_);
    fd_ = disk.fd_;
    bytes_ = std::move(disk.bytes_);
}

// ---------------------------------------------------------------- lists of names

NameList::NameList(std::initializer_list<QString> names)
{
    for (const QString& name : names)
        append(name);
}

void NameList::append(const QString& name)
{
    if (!names_) {
        names_ = std::make_shared<SpillFile>(plan_.folder, false);
        places_ = std::make_shared<SpillFile>(plan_.folder, false);
    }
    if (count_ == plan_.filesInMemory) {
        names_->moveToDisk();
        places_->moveToDisk();
    }
    const QByteArray bytes = name.toUtf8();
    QByteArray record;
    record.reserve(qsizetype(sizeof(quint32)) + bytes.size());
    put(record, quint32(bytes.size()));
    record.append(bytes);
    const qint64 at = names_->append(record.constData(), record.size());
    places_->append(reinterpret_cast<const char*>(&at), qint64(sizeof at));
    ++count_;
}

QStringList NameList::range(qint64 from, qint64 count) const
{
    QStringList result;
    const qint64 to = std::min(count_, from + count);
    if (from >= to)
        return result;
    std::vector<qint64> starts(size_t(to - from));
    places_->read(from * qint64(sizeof(qint64)), reinterpret_cast<char*>(starts.data()),
                  qint64(starts.size() * sizeof(qint64)));
    qint64 end = names_->size();
    if (to < count_)
        places_->read(to * qint64(sizeof(qint64)), reinterpret_cast<char*>(&end), qint64(sizeof end));
    QByteArray bytes(qsizetype(end - starts.front()), Qt::Uninitialized);
    names_->read(starts.front(), bytes.data(), bytes.size());
    result.reserve(qsizetype(starts.size()));
    for (const qint64 start : starts) {
        const char* at = bytes.constData() + (start - starts.front());
        const auto length = take<quint32>(at);
        result << QString::fromUtf8(at, qsizetype(length));
    }
    return result;
}

bool NameCursor::take(const QString& name)
{
    if (inBatch_ == batch_.size()) {
        if (next_ >= list_.size())
            return false;
        batch_ = list_.range(next_, 4096);
        inBatch_ = 0;
    }
    if (batch_[inBatch_] != name)
        return false;
    ++inBatch_;
    ++next_;
    return true;
}

// ---------------------------------------------------------------- the names

CardNames::CardNames(std::unique_ptr<SpillFile> names, std::unique_ptr<SpillFile> places)
    : names_(std::move(names)), places_(std::move(places))
{
}

qint64 CardNames::size() const
{
    return places_ ? places_->size() / qint64(sizeof(qint64)) : 0;
}

std::filesystem::path CardNames::at(qint64 place) const
{
    const std::vector<std::filesystem::path> one = range(place, 1);
    return one.empty() ? std::filesystem::path() : one.front();
}

std::vector<std::filesystem::path> CardNames::range(qint64 from, qint64 count) const
{
    std::vector<std::filesystem::path> result;
    const qint64 to = std::min(size(), from + count);
    if (from >= to)
        return result;
    // The names lie one after the other: one read for all of them.
    std::vector<qint64> starts(size_t(to - from));
    places_->read(from * qint64(sizeof(qint64)), reinterpret_cast<char*>(starts.data()),
                  qint64(starts.size() * sizeof(qint64)));
    qint64 end = names_->size();
    if (to < size())
        places_->read(to * qint64(sizeof(qint64)), reinterpret_cast<char*>(&end), qint64(sizeof end));
    QByteArray bytes(qsizetype(end - starts.front()), Qt::Uninitialized);
    names_->read(starts.front(), bytes.data(), bytes.size());
    result.reserve(starts.size());
    for (const qint64 start : starts) {
        const char* at = bytes.constData() + (start - starts.front());
        const auto length = take<quint32>(at);
        result.emplace_back(std::string(at, length));
    }
    return result;
}

namespace {

bool listedBefore(const std::filesystem::path& a, const std::filesystem::path& b)
{
    const int order = compareShownNames(a, b);
    return order != 0 ? order < 0 : a < b;
}

void appendName(SpillFile& names, const std::string& name)
{
    QByteArray record;
    record.reserve(qsizetype(sizeof(quint32) + name.size()));
    put(record, quint32(name.size()));
    record.append(name.data(), qsizetype(name.size()));
    names.append(record.constData(), record.size());
}

// Reads one sorted run of names back, a buffer at a time.
class RunReader {
public:
    RunReader(const SpillFile& file, qint64 begin, qint64 end) : file_(file), readTo_(begin), end_(end) { advance(); }
    bool done() const { return done_; }
    const std::filesystem::path& name() const { return name_; }
    void advance()
    {
        if (used_ == buffer_.size() && readTo_ >= end_) {
            done_ = true;
            return;
        }
        fill(qint64(sizeof(quint32)));
        const char* at = buffer_.constData() + used_;
        const auto length = take<quint32>(at);
        used_ += qsizetype(sizeof length);
        fill(length);
        name_ = std::string(buffer_.constData() + used_, length);
        used_ += qsizetype(length);
    }

private:
    static constexpr qint64 Buffer = 16 * 1024;
    // Makes count bytes from the current one available in the buffer.
    void fill(qint64 count)
    {
        const qint64 kept = buffer_.size() - used_;
        if (kept >= count)
            return;
        QByteArray next = buffer_.mid(used_);
        const qint64 more = std::min(end_ - readTo_, std::max(Buffer, count - kept));
        next.resize(qsizetype(kept + more));
        file_.read(readTo_, next.data() + kept, more);
        readTo_ += more;
        buffer_ = std::move(next);
        used_ = 0;
    }

    const SpillFile& file_;
    qint64 readTo_; // the bytes of the run up to here are in the buffer or used
    const qint64 end_;
    QByteArray buffer_;
    qsizetype used_ = 0;
    std::filesystem::path name_;
    bool done_ = false;
};

} // namespace

CardNamesBuilder::CardNamesBuilder(SpillPlan plan) : plan_(std::move(plan))
{
    plan_.filesInMemory = std::max<qint64>(1, plan_.filesInMemory);
}

CardNamesBuilder::~CardNamesBuilder() = default;

void CardNamesBuilder::add(std::filesystem::path name)
{
    pending_.push_back(std::move(name));
    ++count_;
    if (qint64(pending_.size()) > plan_.filesInMemory)
        writeRun();
}

void CardNamesBuilder::writeRun()
{
    if (!runs_)
        runs_ = std::make_unique<SpillFile>(plan_.folder, true);
    std::sort(pending_.begin(), pending_.end(), listedBefore);
    const qint64 begin = runs_->size();
    for (const std::filesystem::path& name : pending_)
        appendName(*runs_, name.native());
    runBounds_.emplace_back(begin, runs_->size());
    pending_.clear();
    pending_.shrink_to_fit();
}

CardNames CardNamesBuilder::finish()
{
    const bool onDisk = plan_.onDisk(count_);
    auto names = std::make_unique<SpillFile>(plan_.folder, onDisk);
    auto places = std::make_unique<SpillFile>(plan_.folder, onDisk);
    const auto add = [&](const std::filesystem::path& name) {
        const qint64 at = names->size();
        places->append(reinterpret_cast<const char*>(&at), qint64(sizeof at));
        appendName(*names, name.native());
    };
    if (!runs_) {
        std::sort(pending_.begin(), pending_.end(), listedBefore);
        for (const std::filesystem::path& name : pending_)
            add(name);
        pending_ = {};
        return CardNames(std::move(names), std::move(places));
    }
    if (!pending_.empty())
        writeRun();
    // Merges the runs: the first name of each, the least taken each time.
    std::vector<std::unique_ptr<RunReader>> readers;
    for (const auto& [begin, end] : runBounds_)
        readers.push_back(std::make_unique<RunReader>(*runs_, begin, end));
    const auto later = [](const RunReader* a, const RunReader* b) { return listedBefore(b->name(), a->name()); };
    std::vector<RunReader*> heads;
    for (const auto& reader : readers)
        if (!reader->done())
            heads.push_back(reader.get());
    std::make_heap(heads.begin(), heads.end(), later);
    while (!heads.empty()) {
        std::pop_heap(heads.begin(), heads.end(), later);
        RunReader* least = heads.back();
        add(least->name());
        least->advance();
        if (least->done())
            heads.pop_back();
        else
            std::push_heap(heads.begin(), heads.end(), later);
    }
    readers.clear();
    runs_.reset();
    runBounds_.clear();
    return CardNames(std::move(names), std::move(places));
}

// ---------------------------------------------------------------- the files read

namespace {

// A file read as the list keeps it: fixed bytes, its name and refusal
// beside them.
struct Record {
    FileDigest digest;
    qint64 modified;
    qint32 size;
    qint32 sameAs;
    qint64 earlierMs; // NoTime without an earlier import
    qint64 earlierSeen;
    qint64 textAt;    // the name, then the refusal
    qint32 nameBytes;
    qint32 refusalBytes; // -1 without a refusal
};
static_assert(sizeof(Record) == 80);

constexpr qint64 NoTime = std::numeric_limits<qint64>::min();
constexpr qint64 SlotBytes = 12; // the first 8 bytes of a digest, the place + 1 (4 bytes)

quint64 digestKey(const FileDigest& digest)
{
    quint64 key = 0;
    std::memcpy(&key, digest.data(), sizeof key);
    return key;
}

} // namespace

QString CardFile::name() const
{
    return shownName(fsName);
}

CardFileList::CardFileList(const SpillPlan& plan, qint64 expected)
{
    const bool onDisk = plan.onDisk(expected);
    records_ = std::make_unique<SpillFile>(plan.folder, onDisk);
    texts_ = std::make_unique<SpillFile>(plan.folder, onDisk);
    digests_ = std::make_unique<SpillFile>(plan.folder, onDisk);
    slots_ = 16;
    while (slots_ < 2 * expected)
        slots_ *= 2;
    digests_->grow(slots_ * SlotBytes);
}

void CardFileList::append(const CardFile& file)
{
    const std::string& name = file.fsName.native();
    const QByteArray refusal = file.refusal.toUtf8();
    Record record{};
    record.digest = file.digest;
    record.modified = file.modified;
    record.size = file.size;
    record.sameAs = file.sameAs;
    record.earlierMs = file.earlier.last.isValid() ? file.earlier.last.toMSecsSinceEpoch() : NoTime;
    record.earlierSeen = file.earlier.seen;
    record.nameBytes = qint32(name.size());
    record.refusalBytes = file.refusal.isEmpty() ? -1 : qint32(refusal.size());
    record.textAt = texts_->append(name.data(), qint64(name.size()));
    if (record.refusalBytes >= 0)
        texts_->append(refusal.constData(), refusal.size());
    records_->append(reinterpret_cast<const char*>(&record), qint64(sizeof record));
    ++count_;
}

CardFile CardFileList::at(qint64 place) const
{
    const std::vector<CardFile> one = range(place, 1);
    return one.empty() ? CardFile{} : one.front();
}

std::vector<CardFile> CardFileList::range(qint64 from, qint64 count) const
{
    std::vector<CardFile> result;
    const qint64 to = std::min(count_, from + count);
    if (from >= to)
        return result;
    std::vector<Record> records(size_t(to - from));
    records_->read(from * qint64(sizeof(Record)), reinterpret_cast<char*>(records.data()),
                   qint64(records.size() * sizeof(Record)));
    // The texts lie one after the other: one read for all of them.
    const Record& last = records.back();
    const qint64 begin = records.front().textAt;
    const qint64 end = last.textAt + last.nameBytes + std::max(0, last.refusalBytes);
    QByteArray texts(qsizetype(end - begin), Qt::Uninitialized);
    texts_->read(begin, texts.data(), texts.size());
    result.reserve(records.size());
    for (const Record& record : records) {
        CardFile file;
        const char* text = texts.constData() + (record.textAt - begin);
        file.fsName = std::string(text, size_t(record.nameBytes));
        if (record.refusalBytes >= 0)
            file.refusal = QString::fromUtf8(text + record.nameBytes, record.refusalBytes);
        file.digest = record.digest;
        file.modified = record.modified;
        file.size = record.size;
        file.sameAs = record.sameAs;
        if (record.earlierMs != NoTime)
            file.earlier.last = QDateTime::fromMSecsSinceEpoch(record.earlierMs);
        file.earlier.seen = record.earlierSeen;
        result.push_back(std::move(file));
    }
    return result;
}

qint32 CardFileList::firstWith(const FileDigest& digest, qint32 place)
{
    const quint64 key = digestKey(digest);
    for (qint64 slot = qint64(key & quint64(slots_ - 1));; slot = (slot + 1) & (slots_ - 1)) {
        char bytes[SlotBytes];
        digests_->read(slot * SlotBytes, bytes, SlotBytes);
        const char* at = bytes;
        const auto slotKey = take<quint64>(at);
        const auto slotPlace = take<qint32>(at) - 1;
        if (slotPlace < 0) {
            char noted[SlotBytes];
            std::memcpy(noted, &key, sizeof key);
            const qint32 stored = place + 1;
            std::memcpy(noted + sizeof key, &stored, sizeof stored);
            digests_->write(slot * SlotBytes, noted, SlotBytes);
            return -1;
        }
        if (slotKey != key)
            continue;
        FileDigest there{};
        records_->read(qint64(slotPlace) * qint64(sizeof(Record)), there.data(), qint64(there.size()));
        if (there == digest)
            return slotPlace;
    }
}

} // namespace kolva
