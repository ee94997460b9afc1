#include "store/accessfile.h"

#include "store/database.h"

#include <QFile>

#include <clocale>
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

bool looksLikeAccess(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(32);
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

} // namespace

AccessFile::AccessFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
AccessFile::~AccessFile() = default;

std::unique_ptr<AccessFile> AccessFile::open(const QString& path)
{
    if (!looksLikeAccess(path))
        throw DbError(QStringLiteral("%1 is not a Microsoft Access database").arg(path));
    auto handle = std::make_unique<Handle>();
    handle->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!handle->mdb || !mdb_read_catalog(handle->mdb, MDB_ANY))
        throw DbError(QStringLiteral("%1 could not be read as a Microsoft Access database").arg(path));
    mdb_set_date_fmt(handle->mdb, "%Y-%m-%d %H:%M:%S");
    return std::unique_ptr<AccessFile>(new AccessFile(std::move(handle)));
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
