#pragma once
// Read-only access to Microsoft Access (.mdb) files through libmdb: the
// outside species database, and databases of earlier versions of the program.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace kolva {

class AccessFile {
public:
    // Opens the file for reading; throws DbError when it is not an Access file.
    static std::unique_ptr<AccessFile> open(const QString& path);
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

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

private:
    struct Handle;
    explicit AccessFile(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> handle_;
};

} // namespace kolva
