#pragma once
// Read-only access to Microsoft Access (.mdb) files through libmdb: the
// outside species database, and databases of earlier versions of the program.

#include "store/localfiles.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace kolva {

// The kinds of column an Access table has.
enum class AccessType { Boolean, Byte, Integer, LongInteger, Money, Single, Double, DateTime, Text, Memo, Other };

struct AccessColumn {
    QString name;
    AccessType type = AccessType::Other;
};

// A stored Access date (days since 30 December 1899, the time of day as the
// fraction) as "YYYY-MM-DD HH:MM:SS", to the nearest second; nothing for a
// value outside the years 100 to 9999 that Access can hold.
std::optional<QString> accessDateText(double stored);

class AccessFile {
public:
    // Opens the file for reading; throws DbError when it is missing, not a
    // regular file, cannot be read or is not an Access file.
    static std::unique_ptr<AccessFile> open(const QString& path);
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    // The file libmdb reads, to check that it is still the one named.
    std::optional<FileId> fileId() const;
    // "Access 2000 (Jet 4)" and the like.
    QString formatName() const;
    // The user tables, in the order the file lists them.
    QStringList tableNames() const;
    bool hasTable(const QString& table) const;
    QStringList columnNames(const QString& table) const;
    // Every row of the table, in stored order. Values are texts (dates as
    // "YYYY-MM-DD HH:MM:SS", numbers with a decimal point); an empty value is
    // a null QVariant.
    QList<QVariantList> rows(const QString& table) const;
    // The number of rows of the table, or -1 when there is no such table.
    qint64 rowCount(const QString& table) const;

    QList<AccessColumn> columns(const QString& table) const;
    // Reads every row of the table in stored order, each value as stored:
    // NULL is a null QVariant and a zero-length text an empty (not null)
    // QString; Boolean gives bool; Byte, Integer and LongInteger qlonglong;
    // Money qlonglong in ten-thousandths; Single and Double double; DateTime
    // the stored double (see accessDateText); Text and Memo QString; Other
    // a null QVariant. Returns the number of rows read. Throws DbError when
    // a row or value cannot be read whole or fewer rows than the table
    // counts could be read (a damaged or truncated file).
    using RowFunction = std::function<void(const QVariantList& row)>;
    qint64 readRows(const QString& table, const RowFunction& onRow) const;

private:
    struct Handle;
    explicit AccessFile(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> handle_;
};

} // namespace kolva
