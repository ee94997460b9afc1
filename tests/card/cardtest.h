#pragma once
// Storage cards for the tests: a folder with the card's marker file and
// .tree files written byte for byte as the handheld writes them.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QTemporaryDir>

namespace kolva {
class Database;
}

namespace kolva::test {

// The 50 lines of a typical .tree file (Windows-1252 bytes, no line ends).
QByteArrayList treeLines(int treeId = 1234);

// Joins lines, each ended by eol.
QByteArray joinLines(const QByteArrayList& lines, const QByteArray& eol = "\r\n");

// Writes bytes to dir/name, making the folder if needed.
void writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

// A folder that stands for a storage card.
class TestCard {
public:
    explicit TestCard(bool marked = true);
    QString root() const { return dir_.path(); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    // Writes a .tree file of those lines (CR LF ends).
    void addTree(const QString& name, const QByteArrayList& lines);
    void addRaw(const QString& name, const QByteArray& bytes);
    bool has(const QString& name) const;
    // The .tree files left on the card, sorted.
    QStringList treeFiles() const;

private:
    QTemporaryDir dir_;
};

// How the database fails a new survey record that meets a condition.
enum class InsertFailure {
    Refused,           // a rule of the table: that record alone is not saved
    EngineGivesUp,     // the engine ends the whole transaction
    DiskFull,          // the disk is full
};

// Makes the database fail, with message, each new survey record whose
// condition on NEW holds (written in SQL both engines take); with logTable,
// the Tree_ID of every record is first written into that table's one
// column. On either engine.
void failInsertsWhen(Database& db, const QString& condition, InsertFailure failure, const QString& message,
                     const QString& logTable = {});

} // namespace kolva::test
