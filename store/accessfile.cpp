#include "store/accessfile.h"

#include "store/database.h"
#include "store/localfiles.h"

#include <QDate>
#include <QFile>

#include <clocale>
#include <cmath>
#include <cstring>
#include <locale.h>
#include <mdbtools.h>

#include <vector>

namespace kolva {

struct AccessFile::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

namespace {

// libmdb formats numbers and dates by the process's locale; the reader wants
// them in one fixed form whatever the user's locale is.
class CLocaleScope {
public:
    CLocaleScope() : c_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr)))
    {
        if (c_)
            previous_ = uselocale(c_);
    }
    ~CLocaleScope()
    {
        if (c_) {
            uselocale(previous_);
            freelocale(c_);
        }
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t c_;
    locale_t previous_ = nullptr;
};

bool looksLikeAccess(const QByteArray& head)
{
    return head.size() >= 19 && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

MdbCatalogEntry* findTable(MdbHandle* mdb, const QString& table)
{
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)
            && QString::fromUtf8(entry->object_name).compare(table, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return nullptr;
}

struct TableDef {
    MdbTableDef* def = nullptr;
    explicit TableDef(MdbCatalogEntry* entry) : def(entry ? mdb_read_table(entry) : nullptr)
    {
        if (def)
            mdb_read_columns(def);
    }
    ~TableDef()
    {
        if (def)
            mdb_free_tabledef(def);
    }
    TableDef(const TableDef&) = delete;
    TableDef& operator=(const TableDef&) = delete;
};

AccessType accessType(int columnType)
{
    switch (columnType) {
    case MDB_BOOL: return AccessType::Boolean;
    case MDB_BYTE: return AccessType::Byte;
    case MDB_INT: return AccessType::Integer;
    case MDB_LONGINT: return AccessType::LongInteger;
    case MDB_MONEY: return AccessType::Money;
    case MDB_FLOAT: return AccessType::Single;
    case MDB_DOUBLE: return AccessType::Double;
    case MDB_DATETIME: return AccessType::DateTime;
    case MDB_TEXT: return AccessType::Text;
    case MDB_MEMO: return AccessType::Memo;
    default: return AccessType::Other;
    }
}

// The bytes a value of a fixed-size column takes.
int fixedSize(AccessType type)
{
    switch (type) {
    case AccessType::Byte: return 1;
    case AccessType::Integer: return 2;
    case AccessType::LongInteger:
    case AccessType::Single: return 4;
    case AccessType::Money:
    case AccessType::Double:
    case AccessType::DateTime: return 8;
    default: return 0;
    }
}

qint64 littleEndian(const unsigned char* p, int bytes)
{
    quint64 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    if (bytes < 8 && (value >> (bytes * 8 - 1)) & 1) // sign-extend
        value |= ~quint64(0) << (bytes * 8);
    return static_cast<qint64>(value);
}

// Jet 4 text is UCS-2, little-endian. "Unicode compression" marks a value
// with FF FE and then stores runs of characters below U+0100 in one byte,
// a 00 byte switching between one-byte and two-byte runs.
QString decodeJet4Text(const unsigned char* p, qsizetype size)
{
    QString text;
    if (size >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        text.reserve(size);
        bool compressed = true;
        for (qsizetype i = 2; i < size;) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.append(QChar(char16_t(p[i])));
                ++i;
            } else if (i + 1 < size) {
                text.append(QChar(char16_t(p[i] | (p[i + 1] << 8))));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        text.resize(size / 2);
        for (qsizetype i = 0; i < size / 2; ++i)
            text[i] = QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8)));
    }
    if (text.isNull())
        text = QString(QLatin1StringView("")); // a zero-length text, not NULL
    return text;
}

// Whether a stored Jet 4 text ends where a character ends.
bool wholeJet4Text(const unsigned char* p, qsizetype size)
{
    if (size >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        bool compressed = true;
        qsizetype i = 2;
        while (i < size) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else {
                i += compressed ? 1 : 2;
            }
        }
        return i == size;
    }
    return size % 2 == 0;
}

[[noreturn]] void damaged(const QString& table, qint64 row, const QString& what)
{
    throw DbError(QStringLiteral("the table %1 is damaged: row %2 %3").arg(table).arg(row + 1).arg(what));
}

} // namespace

std::optional<QString> accessDateText(double stored)
{
    // Access can hold 1 January 100 to 31 December 9999.
    if (!std::isfinite(stored))
        return std::nullopt;
    // The whole part counts days from 30 December 1899, the fraction is the
    // time of day after that day's midnight also for days before it: the
    // range is a range of days (-657434.5 is noon on 1 January 100).
    const double days = std::trunc(stored);
    if (days < -657434.0 || days > 2958465.0)
        return std::nullopt;
    qint64 seconds = std::llround(std::fabs(stored - days) * 86400.0);
    QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(days));
    if (seconds >= 86400) {
        if (date == QDate(9999, 12, 31)) {
            seconds = 86399; // the last second Access can hold, never the year 10000
        } else {
            date = date.addDays(1);
            seconds -= 86400;
        }
    }
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

AccessFile::AccessFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
AccessFile::~AccessFile() = default;

std::unique_ptr<AccessFile> AccessFile::open(const QString& path)
{
    const FileHead head = readFileHead(path, 32);
    if (head.kind == PathKind::Missing)
        throw DbError(QStringLiteral("%1 does not exist").arg(path));
    if (head.kind != PathKind::Regular)
        throw DbError(QStringLiteral("%1 is not a regular file: it is %2").arg(path, pathKindName(head.kind)));
    if (!head.error.isEmpty())
        throw DbError(QStringLiteral("%1 cannot be read: %2").arg(path, head.error));
    if (!looksLikeAccess(head.bytes))
        throw DbError(QStringLiteral("%1 is not a Microsoft Access database").arg(path));
    auto handle = std::make_unique<Handle>();
    handle->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!handle->mdb || !mdb_read_catalog(handle->mdb, MDB_ANY))
        throw DbError(QStringLiteral("%1 could not be read as a Microsoft Access database").arg(path));
    mdb_set_date_fmt(handle->mdb, "%Y-%m-%d %H:%M:%S");
    return std::unique_ptr<AccessFile>(new AccessFile(std::move(handle)));
}

std::optional<FileId> AccessFile::fileId() const
{
    return handle_->mdb->f->stream ? fileIdOf(fileno(handle_->mdb->f->stream)) : std::nullopt;
}

QString AccessFile::formatName() const
{
    switch (handle_->mdb->f->jet_version) {
    case MDB_VER_JET3: return QStringLiteral("Access 97 (Jet 3)");
    case MDB_VER_JET4: return QStringLiteral("Access 2000 (Jet 4)");
    default: return QStringLiteral("Access 2007 or later (ACE)");
    }
}

QStringList AccessFile::tableNames() const
{
    QStringList names;
    MdbHandle* mdb = handle_->mdb;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            names.append(QString::fromUtf8(entry->object_name));
    }
    return names;
}

bool AccessFile::hasTable(const QString& table) const
{
    return findTable(handle_->mdb, table) != nullptr;
}

QStringList AccessFile::columnNames(const QString& table) const
{
    TableDef t(findTable(handle_->mdb, table));
    QStringList names;
    if (!t.def)
        return names;
    for (unsigned int i = 0; i < t.def->num_cols; ++i)
        names.append(QString::fromUtf8(static_cast<MdbColumn*>(g_ptr_array_index(t.def->columns, i))->name));
    return names;
}

qint64 AccessFile::rowCount(const QString& table) const
{
    TableDef t(findTable(handle_->mdb, table));
    return t.def ? static_cast<qint64>(t.def->num_rows) : -1;
}

QList<AccessColumn> AccessFile::columns(const QString& table) const
{
    TableDef t(findTable(handle_->mdb, table));
    QList<AccessColumn> result;
    if (!t.def)
        return result;
    for (unsigned int i = 0; i < t.def->num_cols; ++i) {
        const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(t.def->columns, i));
        result.append({QString::fromUtf8(column->name), accessType(column->col_type)});
    }
    return result;
}

namespace {

// Reads the rows of one table page by page as libmdb's own row fetch does,
// but checks every row's layout before libmdb takes it apart, tells NULL
// from a zero-length text, and decodes numbers and dates from their stored
// bytes instead of libmdb's locale-dependent text.
class RowReader {
public:
    RowReader(MdbHandle* mdb, MdbTableDef* def, const QString& table)
        : mdb_(mdb), def_(def), table_(table), fields_(def->num_cols)
    {
        for (unsigned int i = 0; i < def->num_cols; ++i) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
            columns_.push_back(column);
            types_.push_back(accessType(column->col_type));
        }
    }

    qint64 run(const AccessFile::RowFunction& onRow)
    {
        const int pageSize = static_cast<int>(mdb_->fmt->pg_size);
        const int countOffset = mdb_->fmt->row_count_offset;
        QVariantList row;
        mdb_rewind_table(def_);
        while (mdb_read_next_dpg(def_)) {
            const int rows = mdb_get_int16(mdb_->pg_buf, countOffset);
            if (rows < 0 || countOffset + 2 + rows * 2 > pageSize)
                damaged(table_, count_, QStringLiteral("lies on a page that cannot be read"));
            for (int r = 0; r < rows; ++r) {
                int start = 0;
                size_t size = 0;
                if (mdb_find_row(mdb_, r, &start, &size) == -1 || size == 0)
                    continue; // no row in this slot (libmdb skips it too)
                if (start & 0x4000)
                    continue; // deleted, or the moved part of an overflow row
                if (start & 0x8000) {
                    readOverflow(start & 0x1fff, static_cast<int>(size), row);
                } else {
                    readRow(start & 0x1fff, static_cast<int>(size), row);
                }
                onRow(row);
                ++count_;
            }
        }
        if (count_ != static_cast<qint64>(def_->num_rows)) {
            throw DbError(QStringLiteral("the table %1 is damaged: it holds %2 rows, of which only %3 could be read")
                              .arg(table_)
                              .arg(def_->num_rows)
                              .arg(count_));
        }
        return count_;
    }

private:
    // A row that grew too large for its page: here only a pointer to where
    // its data now lies.
    void readOverflow(int start, int size, QVariantList& row)
    {
        if (size < 4)
            damaged(table_, count_, QStringLiteral("points to data that cannot be read"));
        const int rowNumber = mdb_->pg_buf[start];
        const long page = static_cast<long>(littleEndian(mdb_->pg_buf + start + 1, 3)) & 0xffffff;
        std::memcpy(saved_, mdb_->pg_buf, sizeof saved_);
        int dataStart = 0;
        size_t dataSize = 0;
        const bool read = mdb_read_pg(mdb_, static_cast<unsigned long>(page)) == mdb_->fmt->pg_size
                          && mdb_find_row(mdb_, rowNumber, &dataStart, &dataSize) == 0 && dataSize > 0;
        if (read)
            readRow(dataStart & 0x1fff, static_cast<int>(dataSize), row);
        std::memcpy(mdb_->pg_buf, saved_, sizeof saved_);
        if (!read)
            damaged(table_, count_, QStringLiteral("points to data that cannot be read"));
    }

    void readRow(int start, int size, QVariantList& row)
    {
        const unsigned char* page = mdb_->pg_buf;
        const int pageSize = static_cast<int>(mdb_->fmt->pg_size);
        if (start + size > pageSize)
            damaged(table_, count_, QStringLiteral("runs past the end of its page"));
        const bool jet4 = mdb_->f->jet_version != MDB_VER_JET3;
        int rowColumns = 0;
        int maskAt = 0;
        std::vector<int> offsets; // where each text value starts, and the end of the last
        if (jet4) {
            // The Jet 4 row layout: column count, fixed values, variable
            // values, their offsets and count, the null mask at the end.
            const int end = start + size - 1;
            if (size < 3)
                damaged(table_, count_, QStringLiteral("is too short"));
            rowColumns = mdb_get_int16(mdb_->pg_buf, start);
            const int maskSize = (rowColumns + 7) / 8;
            maskAt = end - maskSize + 1;
            if (2 + maskSize > size)
                damaged(table_, count_, QStringLiteral("has a column count that does not fit it"));
            if (def_->num_var_cols > 0) {
                if (2 + maskSize + 2 > size)
                    damaged(table_, count_, QStringLiteral("has no room for its text values"));
                const int variable = mdb_get_int16(mdb_->pg_buf, end - maskSize - 1);
                const int dataEnd = end - maskSize - 3 - variable * 2; // where the offsets begin
                if (variable > rowColumns || dataEnd < start + 2)
                    damaged(table_, count_, QStringLiteral("has a text value table that does not fit it"));
                // Each text value starts where the one before ends, inside
                // the row's data: anything else is damage that libmdb would
                // read as an empty or missing value.
                for (int i = 0; i <= variable; ++i) {
                    const int offset = mdb_get_int16(mdb_->pg_buf, end - maskSize - 3 - i * 2);
                    if (offset < 2 || start + offset > dataEnd || (!offsets.empty() && offset < offsets.back()))
                        damaged(table_, count_, QStringLiteral("has a text value table that does not fit it"));
                    offsets.push_back(offset);
                }
            }
        }
        const int cracked = mdb_crack_row(def_, start, static_cast<size_t>(size), fields_.data());
        if (cracked < 0)
            damaged(table_, count_, QStringLiteral("cannot be taken apart"));
        row.resize(static_cast<qsizetype>(columns_.size()));
        for (size_t i = 0; i < columns_.size(); ++i) {
            const MdbField& field = fields_[i];
            const int column = field.colnum;
            if (column < 0 || column >= static_cast<int>(columns_.size()))
                damaged(table_, count_, QStringLiteral("has a column the table does not know"));
            if (jet4 && types_[column] != AccessType::Boolean)
                checkPresence(static_cast<size_t>(column), field, rowColumns, maskAt, offsets);
            row[column] = value(static_cast<size_t>(column), field, start, size, page);
        }
    }

    // The row's null mask against what libmdb made of the value: libmdb
    // gives NULL for a value it cannot find (a damaged row or table
    // definition) and says so only on standard error.
    void checkPresence(size_t column, const MdbField& field, int rowColumns, int maskAt,
                       const std::vector<int>& offsets)
    {
        const MdbColumn* definition = columns_[column];
        const int bit = definition->col_num;
        const bool present = bit >= 0 && bit < rowColumns && (mdb_->pg_buf[maskAt + bit / 8] & (1 << (bit % 8)));
        const QString name = QString::fromUtf8(definition->name);
        if (present && field.is_null)
            damaged(table_, count_, QStringLiteral("has a value of %1 that cannot be found").arg(name));
        if (!present && !definition->is_fixed && definition->var_col_num + 1 < offsets.size()
            && offsets[definition->var_col_num + 1] != offsets[definition->var_col_num])
            damaged(table_, count_, QStringLiteral("marks the value of %1 as empty but holds one").arg(name));
    }

    QVariant value(size_t column, const MdbField& field, int rowStart, int rowSize, const unsigned char* page)
    {
        const AccessType type = types_[column];
        if (type == AccessType::Boolean)
            return QVariant(!field.is_null); // a yes/no value lives in the null mask
        if (field.is_null || !field.value)
            return QVariant();
        if (field.siz < 0 || field.start < rowStart || field.start + field.siz > rowStart + rowSize)
            damaged(table_, count_, QStringLiteral("has a value of %1 outside the row").arg(QString::fromUtf8(columns_[column]->name)));
        const unsigned char* p = page + field.start;
        const int needed = fixedSize(type);
        if (needed > 0 && field.siz < needed)
            damaged(table_, count_, QStringLiteral("has a value of %1 too short for its type").arg(QString::fromUtf8(columns_[column]->name)));
        switch (type) {
        case AccessType::Byte: return QVariant(qlonglong(p[0]));
        case AccessType::Integer: return QVariant(qlonglong(littleEndian(p, 2)));
        case AccessType::LongInteger: return QVariant(qlonglong(littleEndian(p, 4)));
        case AccessType::Money: return QVariant(qlonglong(littleEndian(p, 8)));
        case AccessType::Single: {
            float f;
            std::memcpy(&f, p, 4);
            return QVariant(double(f));
        }
        case AccessType::Double:
        case AccessType::DateTime: {
            double d;
            std::memcpy(&d, p, 8);
            return QVariant(d);
        }
        case AccessType::Text:
            if (mdb_->f->jet_version != MDB_VER_JET3 && !wholeJet4Text(p, field.siz))
                damaged(table_, count_, QStringLiteral("has a text in %1 that is cut short").arg(QString::fromUtf8(columns_[column]->name)));
            return QVariant(decodeJet4Text(p, field.siz));
        case AccessType::Memo: return QVariant(memo(column, field.start, field.siz));
        default: return QVariant();
        }
    }

    // A memo value: a 12-byte header (length and flags, where the text is),
    // then the text in the row itself, in one row of another page, or in a
    // chain of rows on other pages.
    QString memo(size_t column, int start, int size)
    {
        const QString name = QString::fromUtf8(columns_[column]->name);
        if (size == 0)
            return decodeJet4Text(nullptr, 0);
        if (size < MDB_MEMO_OVERHEAD)
            damaged(table_, count_, QStringLiteral("has a note in %1 that cannot be read").arg(name));
        const quint32 header = static_cast<quint32>(littleEndian(mdb_->pg_buf + start, 4));
        const qsizetype length = header & 0x3fffffff;
        if (header & 0x80000000u)
            return decodeJet4Text(mdb_->pg_buf + start + MDB_MEMO_OVERHEAD, size - MDB_MEMO_OVERHEAD);
        qint32 pointer = static_cast<qint32>(littleEndian(mdb_->pg_buf + start + 4, 4));
        QByteArray bytes;
        bytes.reserve(length);
        const bool single = header & 0x40000000u;
        if (!single && (header & 0xff000000u) != 0)
            damaged(table_, count_, QStringLiteral("has a note in %1 of an unknown kind").arg(name));
        int pieces = 0;
        do {
            void* buffer = nullptr;
            int offset = 0;
            size_t pieceSize = 0;
            const bool found = mdb_find_pg_row(mdb_, pointer, &buffer, &offset, &pieceSize) == 0;
            offset &= 0x1fff;
            if (!found || offset + static_cast<qint64>(pieceSize) > mdb_->fmt->pg_size)
                damaged(table_, count_, QStringLiteral("has a note in %1 that cannot be read").arg(name));
            const auto* piece = static_cast<const unsigned char*>(buffer) + offset;
            if (single) {
                bytes.append(reinterpret_cast<const char*>(piece), static_cast<qsizetype>(pieceSize));
                break;
            }
            if (pieceSize < 4)
                damaged(table_, count_, QStringLiteral("has a note in %1 that cannot be read").arg(name));
            bytes.append(reinterpret_cast<const char*>(piece) + 4, static_cast<qsizetype>(pieceSize) - 4);
            pointer = static_cast<qint32>(littleEndian(piece, 4));
            if (++pieces > 1000000 || bytes.size() > length)
                damaged(table_, count_, QStringLiteral("has a note in %1 that cannot be read").arg(name));
        } while (pointer != 0);
        if (bytes.size() < length)
            damaged(table_, count_, QStringLiteral("has a note in %1 that is cut short").arg(name));
        bytes.truncate(length);
        return decodeJet4Text(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    }

    MdbHandle* mdb_;
    MdbTableDef* def_;
    QString table_;
    std::vector<MdbColumn*> columns_;
    std::vector<AccessType> types_;
    std::vector<MdbField> fields_;
    qint64 count_ = 0;
    unsigned char saved_[MDB_PGSIZE];
};

} // namespace

qint64 AccessFile::readRows(const QString& table, const RowFunction& onRow) const
{
    TableDef t(findTable(handle_->mdb, table));
    if (!t.def)
        throw DbError(QStringLiteral("the table %1 cannot be read").arg(table));
    if (t.def->num_cols == 0)
        return 0;
    RowReader reader(handle_->mdb, t.def, table);
    return reader.run(onRow);
}

QList<QVariantList> AccessFile::rows(const QString& table) const
{
    QList<QVariantList> result;
    TableDef t(findTable(handle_->mdb, table));
    if (!t.def)
        return result;
    const unsigned int columns = t.def->num_cols;
    const size_t bindSize = handle_->mdb->bind_size ? handle_->mdb->bind_size : MDB_BIND_SIZE;
    std::vector<std::vector<char>> buffers(columns, std::vector<char>(bindSize + 1));
    std::vector<int> lengths(columns, 0);
    CLocaleScope cLocale;
    for (unsigned int i = 0; i < columns; ++i)
        mdb_bind_column(t.def, static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
    mdb_rewind_table(t.def);
    while (mdb_fetch_row(t.def)) {
        QVariantList row;
        row.reserve(static_cast<qsizetype>(columns));
        for (unsigned int i = 0; i < columns; ++i) {
            if (lengths[i] <= 0)
                row.append(QVariant());
            else
                row.append(QString::fromUtf8(buffers[i].data(), qMin<qsizetype>(lengths[i], bindSize)));
        }
        result.append(row);
    }
    return result;
}

} // namespace kolva
