#include "card/importstore.h"

#include "platform/jobprogress.h"
#include "store/bulkload.h"
#include "store/database.h"
#include "store/dates.h"
#include "store/importedfiles.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <optional>
#include <utility>

namespace kolva {

namespace {

// The page cache of the import's connection while it saves: the indexes of
// a large survey table stay in memory, within the import's memory budget.
constexpr int CacheKiB = 8 * 1024;
// The records, their history rows and file digests are written this many
// records at a time (the records themselves only on the server).
constexpr size_t RowsEvery = 1000;

// The placeholders of the insert, named: binding by name costs the query
// layer a lookup, binding by position a text made anew for every value.
const std::array<QString, treefile::FieldCount>& placeholders()
{
    static const std::array<QString, treefile::FieldCount> names = [] {
        std::array<QString, treefile::FieldCount> result;
        for (int i = 0; i < treefile::FieldCount; ++i)
            result[size_t(i)] = QStringLiteral(":v%1").arg(i);
        return result;
    }();
    return names;
}

QStringList surveyColumns()
{
    QStringList columns;
    for (const SurveyField& field : surveyFields())
        columns << QLatin1String(field.column);
    return columns;
}

// The insert of one record; with its ID given where the server gave it.
QString insertStatement(bool withId)
{
    QStringList columns = surveyColumns();
    QStringList marks(placeholders().begin(), placeholders().end());
    if (withId) {
        columns.prepend(QStringLiteral("ID"));
        marks.prepend(QStringLiteral(":id"));
    }
    return QStringLiteral("INSERT INTO _Archived_SurveyData(%1) VALUES (%2)")
        .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

// Adds Survey records, and for each its history row "imported" and the
// digest of its file, every RowsEvery records. SQLite takes the records one
// by one with the statement prepared once; the server takes them RowsEvery
// at a time with their IDs taken ahead, and one by one only when it refused
// one of them, to say which. Works inside a transaction; finish() before its
// commit.
class RecordSaver {
public:
    RecordSaver(Database& db, const QDateTime& added, const QString& user, SaveResult& result)
        : db_(db), insert_(db.prepare(insertStatement(db.isServer()))), addedStored_(toDbDateTime(added)),
          user_(user), result_(result),
          history_(db, QStringLiteral("_Survey_History"),
                   {QStringLiteral("Survey_ID"), QStringLiteral("Action"), QStringLiteral("Changed_At"),
                    QStringLiteral("Changed_By")}),
          files_(db, QStringLiteral("_Imported_Files"),
                 {QStringLiteral("Digest"), QStringLiteral("File_Name"), QStringLiteral("Byte_Size"),
                  QStringLiteral("Imported_At"), QStringLiteral("Survey_ID")})
    {
        if (db.isServer())
            records_.emplace(db, QStringLiteral("_Archived_SurveyData"),
                             QStringList{QStringLiteral("ID")} + surveyColumns());
    }

    // Adds the record of the file; counted in the result as imported, or
    // named among the refused with why (on the server once its batch is
    // written). Throws DbError when the database fails (a full disk, a
    // read-only file, a transaction the engine has ended): then no further
    // record may be added.
    void add(const SurveyValues& values, const CardFile& file)
    {
        // The engine ends a transaction on its own after some failures; a
        // record added after that would be saved on its own.
        if (!db_.inTransaction())
            throw DbError(QStringLiteral("the import's transaction is no longer open"));
        Added record{file.digest, decodedName(file.fsName), file.size, {}};
        if (db_.isServer()) {
            waiting_.push_back({values, std::move(record), file.name(), result_.refused.size()});
            if (waiting_.size() >= RowsEvery)
                writeRecords();
            return;
        }
        for (int i = 0; i < treefile::FieldCount; ++i)
            insert_.bindValue(placeholders()[size_t(i)], values[size_t(i)]);
        try {
            Database::run(insert_);
        } catch (const DbError& error) {
            if (!refusesOnlyTheValues(db_, error) || !db_.inTransaction())
                throw;
            result_.refused.append({file.name(), error.message()});
            return;
        }
        record.surveyId = insert_.lastInsertId();
        saved(std::move(record));
    }

    // Writes the records and rows added since the last time.
    void finish()
    {
        writeRecords();
        writeRows();
    }

private:
    struct Added {
        FileDigest digest;
        QString name;
        qint64 size;
        QVariant surveyId;
    };
    // A record the server has still to take, and where among the refused
    // its file goes if it refuses it: the files stay in the order they were
    // added.
    struct Waiting {
        SurveyValues values;
        Added added;
        QString shownName;
        qsizetype refusedAt;
    };

    void saved(Added record)
    {
        ++result_.imported;
        added_.push_back(std::move(record));
        if (added_.size() >= RowsEvery)
            writeRows();
    }

    // The server's records waiting: all of them in one COPY; when the server
    // refuses one, each on its own.
    void writeRecords()
    {
        if (waiting_.empty())
            return;
        std::vector<Waiting> waiting = std::exchange(waiting_, {});
        const QList<qint64> ids = reserveRowIds(db_, QStringLiteral("_Archived_SurveyData"), int(waiting.size()));
        for (size_t k = 0; k < waiting.size(); ++k) {
            QVariantList row{ids[qsizetype(k)]};
            row.reserve(treefile::FieldCount + 1);
            for (const QVariant& value : waiting[k].values)
                row << value;
            records_->add(row);
        }
        bool refused = false;
        {
            Savepoint all(db_, QStringLiteral("kolva_import_records"));
            try {
                records_->write();
                all.release();
            } catch (const DbError& error) {
                if (!refusesOnlyTheValues(db_, error))
                    throw;
                refused = true;
            }
        }
        qsizetype refusedBefore = 0;
        for (size_t k = 0; k < waiting.size(); ++k) {
            Waiting& record = waiting[k];
            record.added.surveyId = ids[qsizetype(k)];
            if (!refused) {
                saved(std::move(record.added));
                continue;
            }
            insert_.bindValue(QStringLiteral(":id"), record.added.surveyId);
            for (int i = 0; i < treefile::FieldCount; ++i)
                insert_.bindValue(placeholders()[size_t(i)], record.values[size_t(i)]);
            Savepoint one(db_, QStringLiteral("kolva_import_record"));
            try {
                Database::run(insert_);
                one.release();
            } catch (const DbError& error) {
                if (!refusesOnlyTheValues(db_, error))
                    throw;
                one.rollback();
                result_.refused.insert(record.refusedAt + refusedBefore++, {record.shownName, error.message()});
                continue;
            }
            saved(std::move(record.added));
        }
    }

    // The history row of each record added, naming exactly that record,
    // and the digest of its file; many rows at a time.
    void writeRows()
    {
        if (!db_.inTransaction())
            throw DbError(QStringLiteral("the import's transaction is no longer open"));
        for (const Added& record : added_) {
            history_.add({record.surveyId, QStringLiteral("imported"), addedStored_, user_});
            files_.add({digestBytes(record.digest), record.name, record.size, addedStored_, record.surveyId});
        }
        history_.write();
        files_.write();
        added_.clear();
    }

    Database& db_;
    QSqlQuery insert_;
    QString addedStored_;
    QString user_;
    SaveResult& result_;
    BulkRows history_, files_;
    std::optional<BulkRows> records_;
    std::vector<Waiting> waiting_;
    std::vector<Added> added_;
};

// Looks up the earlier imports of the files by their digests (at most
// ImportedFileLookup::Chunk of them).
QHash<QByteArray, ImportedFileLookup::Found> lookUp(ImportedFileLookup& lookup, const std::vector<CardFile>& files,
                                                    size_t from, size_t to)
{
    QList<QByteArray> digests;
    for (size_t k = from; k < to; ++k)
        digests << digestBytes(files[k].digest);
    return lookup.find(digests);
}

// The end of a pass: the last rows written, then the commit unless the user
// cancelled. A Cancel pressed up to here is honoured; from here on it is not
// offered.
SaveOutcome commit(RecordSaver& saver, Transaction& transaction, Progress& progress, SaveResult& result)
{
    saver.finish();
    progress.setCancellable(false);
    if (progress.cancelRequested()) {
        result = SaveResult{};
        return SaveOutcome::Cancelled;
    }
    transaction.commit();
    return SaveOutcome::Saved;
}

QString sameBytesReason(const CardRead& read, const CardFile& file)
{
    return QStringLiteral("the same bytes as %1").arg(read.files->at(file.sameAs).name());
}

// The names are handed to the reader this many at a time, and the files read
// taken from the list so many at a time after the question.
constexpr qint64 Batch = 1024;

} // namespace

SaveOutcome saveAsRead(Database& db, const CardScan& scan, CardRead& read, const QDateTime& added,
                       const QString& user, qint64 keepBytes, Progress& progress, SaveResult& result)
{
    const qint64 total = scan.files.size();
    progress.beginStage(QStringLiteral("Importing the .tree files"), total);
    progress.setCancellable(true);
    read = CardRead{};
    read.root = scan.root;
    read.plan = scan.plan;
    read.leftAlone = scan.leftAlone;
    read.files = std::make_unique<CardFileList>(scan.plan, total);
    result = SaveResult{};

    const BulkLoadTuning tuning(db, CacheKiB);
    Transaction transaction(db);
    // Another import of the same card waits here until this one ends, and
    // then finds its files imported before.
    lockImportedFiles(db);
    RecordSaver saver(db, added, user, result);
    ImportedFileLookup lookup(db);
    EntryPrefetch prefetch(scan.root, toDbDateTime(added), keepBytes);
    qint64 supplied = 0;
    // The files read but not yet looked up, with their records and bytes kept.
    struct Pending {
        CardFile file;
        std::optional<SurveyValues> values;
        QByteArray bytes;
        bool bytesKept = false;
    };
    std::vector<Pending> pending;
    pending.reserve(ImportedFileLookup::Chunk);
    // Files imported before wait for the question: then nothing more is
    // added, and the transaction is given up once all are read.
    bool waiting = false;
    const auto settle = [&] {
        QList<QByteArray> digests;
        for (const Pending& p : pending)
            digests << digestBytes(p.file.digest);
        const auto found = lookup.find(digests);
        for (Pending& p : pending) {
            CardFile& file = p.file;
            const auto at = qint32(read.files->size());
            file.sameAs = read.files->firstWith(file.digest, at);
            // A copy was imported before when its original was: the rows
            // this transaction wrote for the original are not an earlier import.
            const auto earlier = found.constFind(digestBytes(file.digest));
            if (file.sameAs >= 0)
                file.earlier = read.files->at(file.sameAs).earlier;
            else if (earlier != found.constEnd())
                file.earlier = {earlier->last, earlier->row};
            read.files->append(file);
            if (p.bytesKept)
                read.keptBytes.insert(at, std::move(p.bytes));
            if (file.refused()) {
                result.refused.append({file.name(), file.refusal});
                continue;
            }
            waiting = waiting || file.earlier.last.isValid();
            if (waiting)
                continue;
            if (file.sameAs >= 0)
                result.skipped.append({file.name(), sameBytesReason(read, file)});
            else
                saver.add(*p.values, file);
        }
        pending.clear();
    };
    for (qint64 done = 1; done <= total; ++done) {
        if (progress.cancelRequested()) {
            result = SaveResult{};
            return SaveOutcome::Cancelled; // the transaction rolls back
        }
        // The reader has the next names well before it needs them.
        while (supplied < total && supplied - done < Batch) {
            std::vector<std::filesystem::path> names = scan.files.range(supplied, Batch);
            supplied += qint64(names.size());
            prefetch.supply(std::move(names));
        }
        ReadItem item = prefetch.next();
        if (item.isFile)
            pending.push_back({std::move(item.file), std::move(item.values), std::move(item.bytes), item.bytesKept});
        else
            read.leftAlone.append(item.leftAlone);
        if (pending.size() == size_t(ImportedFileLookup::Chunk))
            settle();
        progress.advance(done);
    }
    settle();
    sortByName(read.leftAlone);
    if (waiting)
        return SaveOutcome::Waiting; // nothing is saved before the answer
    return commit(saver, transaction, progress, result);
}

SaveOutcome saveAfterQuestion(Database& db, CardRead& read, bool importAgain, const QDateTime& added,
                              const QString& user, Progress& progress, SaveResult& result)
{
    result = SaveResult{};
    const qint64 total = read.count();
    progress.beginStage(QStringLiteral("Saving the records"), total);
    progress.setCancellable(true);
    const BulkLoadTuning tuning(db, CacheKiB);
    Transaction transaction(db);
    lockImportedFiles(db);
    // The files may have been imported since they were read (by another
    // window, or the scheduled command line, while this import waited for
    // its question): looked up again inside the transaction that saves,
    // which no other import can enter, they are not saved twice. The files
    // are looked up a batch at a time as the pass goes on; the rows this
    // pass writes meanwhile come after the last row there was at its start.
    const qint64 lastRowBefore = db.scalar(QStringLiteral("SELECT MAX(ID) FROM _Imported_Files")).toLongLong();
    ImportedFileLookup lookup(db);
    EntryPrefetch prefetch(read.root, toDbDateTime(added), 0);
    // The files taken from the list, each with why it is not saved (nothing
    // for those to save); the files to save are handed to the reader.
    struct Planned {
        CardFile file;
        QString why;
    };
    std::deque<Planned> planned;
    qint64 taken = 0;
    const auto takeBatch = [&] {
        std::vector<CardFile> batch = read.files->range(taken, Batch);
        taken += qint64(batch.size());
        std::vector<std::filesystem::path> again;
        for (size_t from = 0; from < batch.size(); from += ImportedFileLookup::Chunk) {
            const size_t to = std::min(batch.size(), from + ImportedFileLookup::Chunk);
            const auto found = lookUp(lookup, batch, from, to);
            for (size_t k = from; k < to; ++k) {
                CardFile& file = batch[k];
                QString why;
                const auto now = found.constFind(digestBytes(file.digest));
                if (now != found.constEnd() && now->row > file.earlier.seen && now->row <= lastRowBefore)
                    why = QStringLiteral("imported meanwhile by another import, on %1").arg(shownDate(now->last.date()));
                else if (file.earlier.last.isValid() && !importAgain)
                    why = QStringLiteral("already imported on %1").arg(shownDate(file.earlier.last.date()));
                else if (file.sameAs >= 0)
                    why = sameBytesReason(read, file);
                if (!file.refused() && why.isEmpty())
                    again.push_back(file.fsName);
                planned.push_back({std::move(file), why});
            }
        }
        prefetch.supply(std::move(again));
    };

    RecordSaver saver(db, added, user, result);
    for (qint64 k = 0; k < total; ++k) {
        if (progress.cancelRequested()) {
            result = SaveResult{};
            return SaveOutcome::Cancelled; // the transaction rolls back
        }
        while (taken < total && qint64(planned.size()) < Batch)
            takeBatch();
        const Planned p = std::move(planned.front());
        planned.pop_front();
        const CardFile& file = p.file;
        if (file.refused()) {
            result.refused.append({file.name(), file.refusal});
        } else if (!p.why.isEmpty()) {
            result.skipped.append({file.name(), p.why});
        } else {
            const ReadItem item = prefetch.next();
            if (!item.isFile || item.file.digest != file.digest || !item.values)
                throw CardAccessError(QStringLiteral("%1 changed on the storage card after it was read.").arg(file.name()),
                                      false, file.name());
            saver.add(*item.values, file);
        }
        progress.advance(k + 1);
    }
    return commit(saver, transaction, progress, result);
}

} // namespace kolva
