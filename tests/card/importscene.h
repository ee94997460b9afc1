#pragma once
// The scene of the import tests: a card, a program directory with its
// database, file operations that fail where a test wants them to, and the
// whole import between, as the program runs it.

#include "card/fieldimport.h"
#include "platform/progress.h"
#include "store/database.h"
#include "tests/card/cardtest.h"
#include "tests/support/progressrecorder.h"
#include "tests/support/testcontext.h"

#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace kolva::test {

inline const QDateTime ImportTime(QDate(2008, 1, 2), QTime(16, 45, 30));

// File operations that fail where a test wants them to.
class FailingFiles : public CardFiles {
public:
    QString unwritableFolder; // no file can be made in this folder
    QString failCopyOf;       // copying this file fails
    QString corruptCopyOf;    // this file's copy differs from the original
    QString failRemoveOf;     // deleting this file from the card fails
    bool failFlush = false;
    int flushes = 0;
    std::function<void()> beforeMove; // runs as the move begins, once the records are saved


    static QString nameOf(const std::filesystem::path& path) { return QString::fromStdString(path.filename().string()); }
    bool canWriteIn(const QString& folder, QString* error) override
    {
        if (folder == unwritableFolder) {
            *error = "Read-only file system";
            return false;
        }
        return CardFiles::canWriteIn(folder, error);
    }
    bool writeCopy(const QByteArray& bytes, std::filesystem::path& to, QString* error) override
    {
        if (nameOf(to) == failCopyOf) {
            *error = "the backup volume is full";
            return false;
        }
        return CardFiles::writeCopy(nameOf(to) == corruptCopyOf ? QByteArray("1\r\n") : bytes, to, error);
    }
    bool makeFolder(const QString& path, QString* error) override
    {
        if (beforeMove)
            beforeMove();
        return CardFiles::makeFolder(path, error);
    }
    bool removeFile(const std::filesystem::path& path, QString* error) override
    {
        if (nameOf(path) == failRemoveOf) {
            *error = nameOf(path) + " cannot be deleted: Read-only file system";
            return false;
        }
        return CardFiles::removeFile(path, error);
    }
    bool flushToDisk(const QString& folder, QString* error) override
    {
        ++flushes;
        if (failFlush) {
            *error = "flush failed";
            return false;
        }
        return CardFiles::flushToDisk(folder, error);
    }
};

// A card, a program directory with its database, and the import between.
struct ImportScene {
    ImportScene() { backupDir = backupFolderPath(ctx.dir.path(), ImportTime.date()); }

    int count(const char* table) { return ctx.db->scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt(); }
    int rows() { return count("_Archived_SurveyData"); }
    // The values of the select's one column, joined by commas.
    QString joined(const QString& select)
    {
        QSqlQuery q = ctx.db->query(select);
        QStringList values;
        while (q.next())
            values << q.value(0).toString();
        return values.join(QLatin1Char(','));
    }
    CardImportRequest request(bool keepBackup)
    {
        CardImportRequest r;
        r.cardRoot = card.root();
        r.dataDir = ctx.dir.path();
        r.databasePath = ctx.db->path();
        r.keepBackup = keepBackup;
        r.now = ImportTime;
        r.user = "anna";
        r.files = &files;
        r.openDatabase = openDatabase;
        r.recordsAStream = recordsAStream;
        return r;
    }
    // The whole import; again answers the question about files imported
    // before (a question without an answer fails the test).
    CardImportResult import(bool keepBackup = false, std::optional<bool> again = std::nullopt,
                            Progress* with = nullptr)
    {
        asked.clear();
        return importCard(request(keepBackup), with ? *with : progress, [&](const AlreadyImported& already) {
            asked << alreadyImportedQuestion(already);
            if (!again)
                ADD_FAILURE() << "unexpected question: " << asked.last().toStdString();
            return again.value_or(false);
        });
    }
    QStringList backupFiles() const { return QDir(backupDir).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    TestContext ctx;
    TestCard card;
    FailingFiles files;
    ProgressRecorder progress;
    std::function<std::unique_ptr<Database>(const QString&)> openDatabase;
    qint64 recordsAStream = DefaultRecordsAStream;
    QStringList asked;
    QString backupDir;
};

class FieldImportTest : public ::testing::Test, public ImportScene {
protected:
    QSqlRecord row(int treeId)
    {
        QSqlQuery q = ctx.db->query("SELECT * FROM _Archived_SurveyData WHERE Tree_ID = ?", {treeId});
        if (!q.next()) {
            ADD_FAILURE() << "no record of tree " << treeId;
            return {};
        }
        return q.record();
    }
};

inline QStringList names(const QList<NamedFile>& files, bool withReasons = false)
{
    QStringList out;
    for (const NamedFile& file : files)
        out << (withReasons ? file.name + ": " + file.reason : file.name);
    return out;
}

} // namespace kolva::test
