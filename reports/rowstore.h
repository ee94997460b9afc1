#pragma once
// The rows of a report table, kept compactly: the cell texts of each row one
// after the other in one buffer, which moves to a temporary file once it
// grows past a small limit. A report of 100,000 trees so holds a few hundred
// kilobytes in memory, whatever its length; pages read their rows back when
// they are painted.
//
// Rows are appended by one thread; once complete, the store is read-only and
// any number of threads may read it at once.

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace kolva {

class RowStore {
public:
    // Bytes kept in memory before the rows move to a file.
    static constexpr qsizetype DefaultMemoryLimit = 256 * 1024;

    explicit RowStore(qsizetype memoryLimit = DefaultMemoryLimit);
    explicit RowStore(std::vector<QStringList> rows);
    ~RowStore();
    RowStore(RowStore&&) noexcept;
    RowStore& operator=(RowStore&&) noexcept;

    // Throws ReportError when the temporary file cannot be written.
    void append(const QStringList& cells);
    void append(const QString* cells, int count);

    qint64 size() const;
    bool isEmpty() const { return size() == 0; }
    // Whether the rows have moved to a file.
    bool spilled() const;
    // Bytes held in memory.
    qsizetype memoryBytes() const;

    // The longest cell of each column that is a number (see isNumberText),
    // "" for a column without one: what a column must be wide enough for.
    QStringList longestNumbers() const;
    // Whether every cell is in Windows-1252, the code page of the handheld
    // and of the standard PDF fonts.
    bool inWindows1252() const;

    QStringList row(qint64 index) const;

    // Reads rows one after the other from a first row; each reader keeps a
    // buffer of its own, so several may read at once.
    class Reader {
    public:
        Reader(const RowStore& store, qint64 first);
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        // The cells of the next row; false after the last.
        bool next(QStringList& cells);
        qint64 position() const { return index_; }

    private:
        bool fill(qint64 at, qsizetype need);
        const RowStore& store_;
        qint64 index_;
        qint64 offset_;   // of the next row in the store
        QByteArray buffer_;
        qint64 bufferAt_ = -1; // store offset of buffer_[0]
    };

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A cell that is a number never breaks across lines: digits with an optional
// sign, "$", decimal part, and thousands separators in groups of three
// ("12", "-3", "1,234.50"). A list such as "3,9" is not a number.
bool isNumberText(QStringView text);

} // namespace kolva
