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
        Added record{file.digest, decodedName(file.entry->fsName), file.size, {}};
        if (db_.isServer()) {
            waiting_.push_back({values, std::move(record), file.entry->name(), result_.refused.size()});
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
            result_.refused.append({file.entry->name(), error.message()});
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

// Looks up the earlier imports of the files [from, to) by their digests.
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

// A digest is its own hash: its first bytes.
struct DigestHash {
    size_t operator()(const FileDigest& digest) const
    {
        size_t hash = 0;
        std::memcpy(&hash, digest.data(), sizeof hash);
        return hash;
    }
};

// The first file of the card with each digest: a table of places in the
// list of files, open addressing, a few bytes a file however many there are.
class FirstWithDigest {
public:
    // The place of the first file before `at` with the digest of files[at];
    // -1, and files[at] noted as the first, when there is none.
    int find(const std::vector<CardFile>& files, int at)
    {
        if ((used_ + 1) * 2 > slots_.size())
            grow(files);
        const FileDigest& digest = files[size_t(at)].digest;
        for (size_t slot = DigestHash()(digest) & (slots_.size() - 1);; slot = (slot + 1) & (slots_.size() - 1)) {
            if (slots_[slot] < 0) {
                slots_[slot] = at;
                ++used_;
                return -1;
            }
            if (files[size_t(slots_[slot])].digest == digest)
                return slots_[slot];
        }
    }

private:
    void grow(const std::vector<CardFile>& files)
    {
        std::vector<int> old(std::max<size_t>(1024, slots_.size() * 2), -1);
        old.swap(slots_);
        for (const int at : old) {
            if (at < 0)
                continue;
            size_t slot = DigestHash()(files[size_t(at)].digest) & (slots_.size() - 1);
            while (slots_[slot] >= 0)
                slot = (slot + 1) & (slots_.size() - 1);
            slots_[slot] = at;
        }
    }

    std::vector<int> slots_; // -1 where free
    size_t used_ = 0;
};

QString sameBytesReason(const CardRead& read, const CardFile& file)
{
    return QStringLiteral("the same bytes as %1").arg(read.files[size_t(file.sameAs)].entry->name());
}

} // namespace

SaveOutcome saveAsRead(Database& db, const CardScan& scan, CardRead& read, const QDateTime& added,
                       const QString& user, qint64 keepBytes, Progress& progress, SaveResult& result)
{
    progress.beginStage(QStringLiteral("Importing the .tree files"), scan.files.size());
    progress.setCancellable(true);
    read = CardRead{};
    read.root = scan.root;
    read.leftAlone = scan.leftAlone;
    read.files.reserve(size_t(scan.files.size()));
    result = SaveResult{};

    const BulkLoadTuning tuning(db, CacheKiB);
    Transaction transaction(db);
    // Another import of the same card waits here until this one ends, and
    // then finds its files imported before.
    lockImportedFiles(db);
    RecordSaver saver(db, added, user, result);
    ImportedFileLookup lookup(db);
    std::vector<const CardEntry*> entries;
    entries.reserve(size_t(scan.files.size()));
    for (const CardEntry& entry : scan.files)
        entries.push_back(&entry);
    EntryPrefetch prefetch(scan.root, std::move(entries), toDbDateTime(added), keepBytes);
    FirstWithDigest firstWith;
    // The records of the files read but not yet looked up.
    std::vector<std::optional<SurveyValues>> pending;
    pending.reserve(ImportedFileLookup::Chunk);
    // Files imported before wait for the question: then nothing more is
    // added, and the transaction is given up once all are read.
    bool waiting = false;
    size_t settled = 0;
    const auto settle = [&] {
        const auto found = lookUp(lookup, read.files, settled, read.files.size());
        for (size_t k = 0; settled < read.files.size(); ++settled, ++k) {
            CardFile& file = read.files[settled];
            file.sameAs = firstWith.find(read.files, int(settled));
            // A copy was imported before when its original was: the rows
            // this transaction wrote for the original are not an earlier import.
            const auto earlier = found.constFind(digestBytes(file.digest));
            EarlierImport before;
            if (file.sameAs >= 0)
                before = read.earlierImport(size_t(file.sameAs));
            else if (earlier != found.constEnd())
                before = {earlier->last, earlier->row};
            if (before.last.isValid())
                read.earlier.insert(qint32(settled), before);
            if (read.refused(settled)) {
                result.refused.append({file.entry->name(), read.refusal(settled)});
                continue;
            }
            waiting = waiting || before.last.isValid();
            if (waiting)
                continue;
            if (file.sameAs >= 0)
                result.skipped.append({file.entry->name(), sameBytesReason(read, file)});
            else
                saver.add(*pending[k], file);
        }
        pending.clear();
    };
    for (qint64 done = 1; done <= scan.files.size(); ++done) {
        if (progress.cancelRequested()) {
            result = SaveResult{};
            return SaveOutcome::Cancelled; // the transaction rolls back
        }
        ReadItem item = prefetch.next();
        if (item.isFile) {
            const auto at = qint32(read.files.size());
            if (!item.refusal.isEmpty())
                read.refusals.insert(at, item.refusal);
            if (item.bytesKept)
                read.keptBytes.insert(at, std::move(item.bytes));
            read.files.push_back(item.file);
            pending.push_back(std::move(item.values));
        } else {
            read.leftAlone.append(item.leftAlone);
        }
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
    progress.beginStage(QStringLiteral("Saving the records"), qint64(read.files.size()));
    progress.setCancellable(true);
    const BulkLoadTuning tuning(db, CacheKiB);
    Transaction transaction(db);
    lockImportedFiles(db);
    // The files may have been imported since they were read (by another
    // window, or the scheduled command line, while this import waited for
    // its question): looked up again inside the transaction that saves,
    // which no other import can enter, they are not saved twice.
    std::vector<QDateTime> meanwhile(read.files.size());
    {
        ImportedFileLookup lookup(db);
        for (size_t from = 0; from < read.files.size(); from += ImportedFileLookup::Chunk) {
            const size_t to = std::min(read.files.size(), from + ImportedFileLookup::Chunk);
            const auto found = lookUp(lookup, read.files, from, to);
            for (size_t k = from; k < to; ++k) {
                const auto now = found.constFind(digestBytes(read.files[k].digest));
                if (now != found.constEnd() && now->row > read.earlierImport(k).seen)
                    meanwhile[k] = now->last;
            }
        }
    }
    // Why each file is not saved; nothing for those to save.
    const auto skipped = [&](size_t k) -> QString {
        const CardFile& file = read.files[k];
        if (meanwhile[k].isValid())
            return QStringLiteral("imported meanwhile by another import, on %1").arg(shownDate(meanwhile[k].date()));
        const QDateTime before = read.earlierImport(k).last;
        if (before.isValid() && !importAgain)
            return QStringLiteral("already imported on %1").arg(shownDate(before.date()));
        if (file.sameAs >= 0)
            return sameBytesReason(read, file);
        return {};
    };
    std::vector<const CardEntry*> again;
    for (size_t k = 0; k < read.files.size(); ++k)
        if (!read.refused(k) && skipped(k).isEmpty())
            again.push_back(read.files[k].entry);
    EntryPrefetch prefetch(read.root, std::move(again), toDbDateTime(added), 0);

    RecordSaver saver(db, added, user, result);
    for (size_t k = 0; k < read.files.size(); ++k) {
        const CardFile& file = read.files[k];
        if (progress.cancelRequested()) {
            result = SaveResult{};
            return SaveOutcome::Cancelled; // the transaction rolls back
        }
        const bool refused = read.refused(k);
        const QString why = refused ? QString() : skipped(k);
        if (refused) {
            result.refused.append({file.entry->name(), read.refusal(k)});
        } else if (!why.isEmpty()) {
            result.skipped.append({file.entry->name(), why});
        } else {
            const ReadItem item = prefetch.next();
            if (!item.isFile || item.file.digest != file.digest || !item.values)
                throw CardAccessError(
                    QStringLiteral("%1 changed on the storage card after it was read.").arg(file.entry->name()), false,
                    file.entry->name());
            saver.add(*item.values, file);
        }
        progress.advance(qint64(k + 1));
    }
    return commit(saver, transaction, progress, result);
}

} // namespace kolva
