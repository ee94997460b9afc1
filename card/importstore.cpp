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
#include <memory>
#include <optional>
#include <utility>

namespace kolva {

namespace {

// The page cache of the import's connection while it saves: the indexes of
// a large survey table stay in memory, within the import's memory budget.
constexpr int CacheKiB = 8 * 1024;
// SQLite's history rows and file digests are written this many records at
// a time; the server's record IDs are taken so many at a time.
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

// SQLite's insert of one record.
QString insertStatement()
{
    const QStringList marks(placeholders().begin(), placeholders().end());
    return QStringLiteral("INSERT INTO _Archived_SurveyData(%1) VALUES (%2)")
        .arg(surveyColumns().join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

// On the server the records go to it in one stream of so many bytes at
// most (and SpillPlan::recordsAStream records), while the card is read on:
// the server stores them as they come.
constexpr qsizetype StreamBytes = 8 * 1024 * 1024;

// The second connection of an import on the server: while the records
// stream in on the import's own, the look-ups of files imported before and
// the records' IDs go through it. It sees what other connections have
// committed, which is what the import's transaction sees of the imported
// files: the lock keeps other imports out while it lives. On SQLite, none.
std::unique_ptr<Database> lookupConnection(Database& db)
{
    return db.isServer() ? Database::open(db.path()) : nullptr;
}

// Adds Survey records, and for each its history row "imported" and the
// digest of its file. SQLite takes the records one by one with the
// statement prepared once; the server takes them in one COPY stream of up to
// streamRecords, with their IDs taken ahead through the look-up connection,
// and one by one only when it refused one of them, to say which. Works
// inside a transaction; finish() before its commit.
class RecordSaver {
public:
    RecordSaver(Database& db, Database* lookups, qint64 streamRecords, const QDateTime& added, const QString& user,
                SaveResult& result)
        : db_(db), idSource_(lookups ? *lookups : db), streamRecords_(size_t(std::max<qint64>(1, streamRecords))),
          insert_(db.isServer() ? QSqlQuery() : db.prepare(insertStatement())), addedStored_(toDbDateTime(added)),
          user_(user), result_(result),
          history_(db, QStringLiteral("_Survey_History"),
                   {QStringLiteral("Survey_ID"), QStringLiteral("Action"), QStringLiteral("Changed_At"),
                    QStringLiteral("Changed_By")}),
          files_(db, QStringLiteral("_Imported_Files"),
                 {QStringLiteral("Digest"), QStringLiteral("File_Name"), QStringLiteral("Byte_Size"),
                  QStringLiteral("Imported_At"), QStringLiteral("Survey_ID")})
    {
        if (db.isServer()) {
            // The table is locked for rows added now, as SQLite's insert
            // statement locks it: an import that cannot write stops before
            // it reads the card.
            db.exec(QStringLiteral("LOCK TABLE _Archived_SurveyData IN ROW EXCLUSIVE MODE"));
        }
    }

    // Adds the record of the file; counted in the result as imported, or
    // named among the refused with why (on the server once its stream has
    // ended). Throws DbError when the database fails (a full disk, a
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
            stream(values, std::move(record), file.name());
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
        endStream();
        writeRows();
    }

private:
    struct Added {
        FileDigest digest;
        QString name;
        qint64 size;
        QVariant surveyId;
    };
    // A record sent to the server in the stream, as sent, and where among
    // the refused its file goes if the server refuses it: the files stay in
    // the order they were added.
    struct Streamed {
        QByteArray line;
        Added added;
        QString shownName;
        qsizetype refusedAt;
    };

    void saved(Added record)
    {
        ++result_.imported;
        added_.push_back(std::move(record));
        // The server's rows of a stream go in one COPY each after it.
        if (!db_.isServer() && added_.size() >= RowsEvery)
            writeRows();
    }

    void stream(const SurveyValues& values, Added record, const QString& shownName)
    {
        if (!stream_) {
            streamPoint_.emplace(db_, QStringLiteral("kolva_import_records"));
            stream_.emplace(db_, QStringLiteral("_Archived_SurveyData"), QStringList{QStringLiteral("ID")} + surveyColumns());
        }
        if (idsTaken_ == ids_.size()) {
            ids_ = reserveRowIds(idSource_, QStringLiteral("_Archived_SurveyData"), int(RowsEvery));
            idsTaken_ = 0;
        }
        record.surveyId = ids_[idsTaken_++];
        QByteArray line = QByteArray::number(record.surveyId.toLongLong());
        line += '\t';
        appendCopyRow(line, values.data(), qsizetype(values.size()));
        stream_->addEncoded(line);
        streamedBytes_ += line.size();
        streamed_.push_back({std::move(line), std::move(record), shownName, result_.refused.size()});
        if (streamed_.size() >= streamRecords_ || streamedBytes_ >= StreamBytes)
            endStream();
    }

    // The end of the stream: its records are saved, or, when the server
    // refused one, each is sent again on its own and those refused named.
    void endStream()
    {
        if (!stream_)
            return;
        bool refused = false;
        try {
            stream_->end();
            stream_.reset();
            streamPoint_->release();
        } catch (const DbError& error) {
            stream_.reset();
            if (!refusesOnlyTheValues(db_, error))
                throw;
            refused = true;
            streamPoint_->rollback();
        }
        streamPoint_.reset();
        std::vector<Streamed> streamed = std::exchange(streamed_, {});
        streamedBytes_ = 0;
        qsizetype refusedBefore = 0;
        std::optional<BulkRows> single;
        if (refused)
            single.emplace(db_, QStringLiteral("_Archived_SurveyData"),
                           QStringList{QStringLiteral("ID")} + surveyColumns());
        for (Streamed& record : streamed) {
            if (single) {
                Savepoint one(db_, QStringLiteral("kolva_import_record"));
                single->addEncoded(record.line);
                try {
                    single->write();
                    one.release();
                } catch (const DbError& error) {
                    if (!refusesOnlyTheValues(db_, error))
                        throw;
                    one.rollback();
                    result_.refused.insert(record.refusedAt + refusedBefore++, {record.shownName, error.message()});
                    continue;
                }
            }
            saved(std::move(record.added));
        }
        writeRows();
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
    Database& idSource_;
    size_t streamRecords_;
    QSqlQuery insert_;
    QString addedStored_;
    QString user_;
    SaveResult& result_;
    BulkRows history_, files_;
    std::vector<Added> added_;
    // The server's: the IDs taken ahead, the stream and the records in it.
    QList<qint64> ids_;
    qsizetype idsTaken_ = 0;
    std::vector<Streamed> streamed_;
    qsizetype streamedBytes_ = 0;
    // The stream ends (cancelled, when it has not) before its savepoint
    // is rolled back.
    std::optional<Savepoint> streamPoint_;
    std::optional<CopyStream> stream_;
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
    const std::unique_ptr<Database> lookups = lookupConnection(db);
    Transaction transaction(db);
    // Another import of the same card waits here until this one ends, and
    // then finds its files imported before.
    lockImportedFiles(db);
    RecordSaver saver(db, lookups.get(), scan.plan.recordsAStream, added, user, result);
    ImportedFileLookup lookup(lookups ? *lookups : db);
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
    const std::unique_ptr<Database> lookups = lookupConnection(db);
    Transaction transaction(db);
    lockImportedFiles(db);
    // The files may have been imported since they were read (by another
    // window, or the scheduled command line, while this import waited for
    // its question): looked up again inside the transaction that saves,
    // which no other import can enter, they are not saved twice. The files
    // are looked up a batch at a time as the pass goes on; the rows this
    // pass writes meanwhile come after the last row there was at its start.
    const qint64 lastRowBefore = db.scalar(QStringLiteral("SELECT MAX(ID) FROM _Imported_Files")).toLongLong();
    ImportedFileLookup lookup(lookups ? *lookups : db);
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

    RecordSaver saver(db, lookups.get(), read.plan.recordsAStream, added, user, result);
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
