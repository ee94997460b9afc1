#include "reports/rowstore.h"

#include "reports/pdfwriter.h"
#include "reports/reportdocument.h"

#include <QDir>
#include <QTemporaryFile>

#include <cstring>
#include <mutex>

namespace kolva {

namespace {

// Every 64th row's offset is kept; a row is found from the one before it.
constexpr int CheckpointEvery = 64;
constexpr qsizetype ReadChunk = 16 * 1024; // a page of rows and more

void putCount(QByteArray& out, quint64 value)
{
    while (value >= 0x80) {
        out.append(char((value & 0x7f) | 0x80));
        value >>= 7;
    }
    out.append(char(value));
}

// Reads a count at at; false when the bytes end first.
bool getCount(const char* data, qsizetype size, qsizetype& at, quint64& value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at >= size)
            return false;
        const auto byte = static_cast<unsigned char>(data[at++]);
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

} // namespace

bool isNumberText(QStringView text)
{
    qsizetype at = 0;
    const qsizetype n = text.size();
    if (at < n && (text[at] == u'-' || text[at] == u'+'))
        ++at;
    if (at < n && text[at] == u'$')
        ++at;
    const qsizetype digitsFrom = at;
    while (at < n && text[at].isDigit() && text[at].unicode() < 128)
        ++at;
    const qsizetype firstGroup = at - digitsFrom;
    if (firstGroup == 0)
        return false;
    if (at < n && text[at] == u',') {
        if (firstGroup > 3)
            return false;
        while (at < n && text[at] == u',') {
            ++at;
            int group = 0;
            while (at < n && text[at].isDigit() && text[at].unicode() < 128) {
                ++at;
                ++group;
            }
            if (group != 3)
                return false;
        }
    }
    if (at < n && text[at] == u'.') {
        ++at;
        const qsizetype decimals = at;
        while (at < n && text[at].isDigit() && text[at].unicode() < 128)
            ++at;
        if (at == decimals)
            return false;
    }
    return at == n;
}

struct RowStore::Impl {
    qsizetype memoryLimit = DefaultMemoryLimit;
    qint64 rows = 0;
    QByteArray tail;          // the bytes not (yet) in the file
    qint64 fileBytes = 0;     // bytes in the file, all before tail
    std::unique_ptr<QTemporaryFile> file;
    std::mutex fileMutex;
    std::vector<qint64> checkpoints;
    QStringList longestNumbers;
    bool windows1252 = true;
    QByteArray scratch;

    qint64 totalBytes() const { return fileBytes + tail.size(); }

    void spill()
    {
        if (!file) {
            file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("kolva-report-XXXXXX")));
            if (!file->open())
                throw ReportError(int(file->error()), file->errorString());
        }
        if (file->write(tail) != tail.size())
            throw ReportError(int(file->error()), file->errorString());
        fileBytes += tail.size();
        tail.truncate(0);
    }

    // Copies bytes [at, at + size) of the store into out; false past the end.
    bool read(qint64 at, qsizetype size, QByteArray& out)
    {
        out.resize(size);
        if (at >= fileBytes) {
            const qint64 from = at - fileBytes;
            if (from + size > tail.size())
                return false;
            std::memcpy(out.data(), tail.constData() + from, size_t(size));
            return true;
        }
        if (at + size > fileBytes)
            return false;
        std::lock_guard lock(fileMutex);
        if (!file->seek(at))
            throw ReportError(int(file->error()), file->errorString());
        if (file->read(out.data(), size) != size)
            throw ReportError(int(file->error()), file->errorString());
        return true;
    }
    // The end of the part (file or memory) that holds offset at.
    qint64 partEnd(qint64 at) const { return at < fileBytes ? fileBytes : totalBytes(); }
};

RowStore::RowStore(qsizetype memoryLimit) : d(std::make_unique<Impl>())
{
    d->memoryLimit = memoryLimit;
}

RowStore::RowStore(std::vector<QStringList> rows) : RowStore()
{
    for (const QStringList& row : rows)
        append(row);
}

RowStore::~RowStore() = default;
RowStore::RowStore(RowStore&&) noexcept = default;
RowStore& RowStore::operator=(RowStore&&) noexcept = default;

void RowStore::append(const QStringList& cells)
{
    append(cells.constData(), int(cells.size()));
}

void RowStore::append(const QString* cells, int count)
{
    if (d->rows % CheckpointEvery == 0)
        d->checkpoints.push_back(d->totalBytes());
    QByteArray& row = d->scratch;
    row.truncate(0);
    putCount(row, quint64(count));
    if (d->longestNumbers.size() < count)
        d->longestNumbers.resize(count);
    for (int c = 0; c < count; ++c) {
        const QString& cell = cells[c];
        putCount(row, quint64(cell.size()));
        row.append(reinterpret_cast<const char*>(cell.constData()), cell.size() * qsizetype(sizeof(QChar)));
        if (cell.size() > d->longestNumbers.at(c).size() && isNumberText(cell))
            d->longestNumbers[c] = cell;
        if (d->windows1252 && !pdf::isWinAnsi(cell))
            d->windows1252 = false;
    }
    putCount(d->tail, quint64(row.size()));
    d->tail.append(row);
    ++d->rows;
    if (d->tail.size() > d->memoryLimit)
        d->spill();
}

qint64 RowStore::size() const
{
    return d->rows;
}

bool RowStore::spilled() const
{
    return d->file != nullptr;
}

qsizetype RowStore::memoryBytes() const
{
    return d->tail.capacity() + qsizetype(d->checkpoints.capacity() * sizeof(qint64));
}

QStringList RowStore::longestNumbers() const
{
    return d->longestNumbers;
}

bool RowStore::inWindows1252() const
{
    return d->windows1252;
}

QStringList RowStore::row(qint64 index) const
{
    QStringList cells;
    Reader reader(*this, index);
    reader.next(cells);
    return cells;
}

// ---------------------------------------------------------------------------

RowStore::Reader::Reader(const RowStore& store, qint64 first) : store_(store), index_(std::max<qint64>(first, 0))
{
    if (index_ >= store_.d->rows) {
        index_ = store_.d->rows;
        offset_ = store_.d->totalBytes();
        return;
    }
    offset_ = store_.d->checkpoints[size_t(index_ / CheckpointEvery)];
    // Step over the rows before the first one from their checkpoint.
    for (qint64 skip = index_ % CheckpointEvery; skip > 0; --skip) {
        if (!fill(offset_, 10))
            break;
        qsizetype at = qsizetype(offset_ - bufferAt_);
        quint64 length = 0;
        getCount(buffer_.constData(), buffer_.size(), at, length);
        offset_ = bufferAt_ + at + qint64(length);
    }
}

RowStore::Reader::~Reader() = default;

// Makes the buffer hold at least need bytes from at (fewer at the end of the
// store part that holds at); false when nothing is there.
bool RowStore::Reader::fill(qint64 at, qsizetype need)
{
    const qint64 end = store_.d->partEnd(at);
    if (at >= end)
        return false;
    if (bufferAt_ >= 0 && at >= bufferAt_ && at + std::min<qint64>(need, end - at) <= bufferAt_ + buffer_.size())
        return true;
    const qsizetype size = qsizetype(std::min<qint64>(std::max(need, ReadChunk), end - at));
    store_.d->read(at, size, buffer_);
    bufferAt_ = at;
    return true;
}

bool RowStore::Reader::next(QStringList& cells)
{
    cells.clear();
    if (index_ >= store_.d->rows || !fill(offset_, 10))
        return false;
    qsizetype at = qsizetype(offset_ - bufferAt_);
    quint64 length = 0;
    if (!getCount(buffer_.constData(), buffer_.size(), at, length))
        return false;
    const qint64 rowStart = bufferAt_ + at;
    if (!fill(rowStart, qsizetype(length)))
        return false;
    at = qsizetype(rowStart - bufferAt_);
    const char* data = buffer_.constData();
    const qsizetype end = at + qsizetype(length);
    quint64 count = 0;
    getCount(data, end, at, count);
    cells.reserve(qsizetype(count));
    for (quint64 c = 0; c < count; ++c) {
        quint64 chars = 0;
        if (!getCount(data, end, at, chars))
            break;
        QString cell(qsizetype(chars), Qt::Uninitialized);
        std::memcpy(cell.data(), data + at, size_t(chars) * sizeof(QChar));
        at += qsizetype(chars * sizeof(QChar));
        cells.append(std::move(cell));
    }
    offset_ = rowStart + qint64(length);
    ++index_;
    return true;
}

} // namespace kolva
