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

namespace kolva {

namespace {

// The page cache of the import's connection while it saves: the indexes of
// a large survey table stay in memory, within the import's memory budget.
constexpr int CacheKiB = 8 * 1024;
// The history rows and file digests are written this many records at a time.
constexpr size_t RowsEvery = 1000;
// Rows a statement when they are written.
constexpr int RowsAStatement = 100;

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

QString insertStatement()
{
    QStringList columns;
    for (const SurveyField& field : surveyFields())
        columns << QLatin1String(field.column);
    QStringList marks(placeholders().begin(), placeholders().end());
    return QStringLiteral("INSERT INTO _Archived_SurveyData(%1) VALUES (%2)")
        .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

// The engine's errors that undo one statement and nothing else: the values
// of this record were refused (a rule of the table, a value too large).
bool refusesOnlyTheStatement(const DbError& error)
{
    // The engine's extended codes carry the primary one in their low byte:
    // a constraint (19), a type mismatch (20), a value too big (18), a bound
    // value out of range (25).
    bool isNumber = false;
    const int primary = error.code().toInt(&isNumber) & 0xff;
    return isNumber && (primary == 18 || primary == 19 || primary == 20 || primary == 25);
}

// Adds Survey records with the statement prepared once, and for each its
// history row "imported" and the digest of its file, every RowsEvery
// records. Works inside a transaction; finish() before its commit.
class RecordSaver {
public:
    RecordSaver(Database& db, const QDateTime& added, const QString& user)
        : db_(db), insert_(db.prepare(insertStatement())), addedStored_(toDbDateTime(added)), user_(user)
    {
        const auto statement = [](const QString& start, const QString& row, int rows) {
            QStringList all;
            for (int i = 0; i < rows; ++i)
                all << row;
            return start + all.join(QLatin1Char(','));
        };
        const QString history =
            QStringLiteral("INSERT INTO _Survey_History (Survey_ID, Action, Changed_At, Changed_By) VALUES ");
        const QString historyRow = QStringLiteral("(?, 'imported', ?, ?)");
        const QString files = QStringLiteral("INSERT INTO _Imported_Files (Digest, File_Name, Byte_Size, Imported_At, "
                                             "Survey_ID) VALUES ");
        const QString fileRow = QStringLiteral("(?, ?, ?, ?, ?)");
        historyMany_ = db.prepare(statement(history, historyRow, RowsAStatement));
        historyOne_ = db.prepare(statement(history, historyRow, 1));
        filesMany_ = db.prepare(statement(files, fileRow, RowsAStatement));
        filesOne_ = db.prepare(statement(files, fileRow, 1));
    }

    // Adds the record of the file. Gives an empty text when the record was
    // added, else why not. Throws DbError when the database fails (a full
    // disk, a read-only file, a transaction the engine has ended): then no
    // further record may be added.
    QString add(const SurveyValues& values, const CardFile& file)
    {
        // The engine ends a transaction on its own after some failures; a
        // record added after that would be saved on its own.
        if (!db_.inTransaction())
            throw DbError(QStringLiteral("the import's transaction is no longer open"));
        for (int i = 0; i < treefile::FieldCount; ++i)
            insert_.bindValue(placeholders()[size_t(i)], values[size_t(i)]);
        try {
            Database::run(insert_);
        } catch (const DbError& error) {
            if (!refusesOnlyTheStatement(error) || !db_.inTransaction())
                throw;
            return error.message();
        }
        added_.push_back({file.digest, decodedName(file.fsName), file.size, insert_.lastInsertId()});
        if (added_.size() >= RowsEvery)
            writeRows();
        return {};
    }

    // Writes the rows of the records added since the last time.
    void finish() { writeRows(); }

private:
    struct Added {
        FileDigest digest;
        QString name;
        qint64 size;
        QVariant surveyId;
    };

    // The history row of each record added, naming exactly that record,
    // and the digest of its file; many rows a statement.
    void writeRows()
    {
        if (!db_.inTransaction())
            throw DbError(QStringLiteral("the import's transaction is no longer open"));
        const auto history = [this](QSqlQuery& query, int at, const Added& record) {
            query.bindValue(at, record.surveyId);
            query.bindValue(at + 1, addedStored_);
            query.bindValue(at + 2, user_);
        };
        const auto file = [this](QSqlQuery& query, int at, const Added& record) {
            query.bindValue(at, digestBytes(record.digest));
            query.bindValue(at + 1, record.name);
            query.bindValue(at + 2, record.size);
            query.bindValue(at + 3, addedStored_);
            query.bindValue(at + 4, record.surveyId);
        };
        writeMany(historyMany_, historyOne_, 3, history);
        writeMany(filesMany_, filesOne_, 5, file);
        added_.clear();
    }

    template <typename Bind>
    void writeMany(QSqlQuery& many, QSqlQuery& one, int columns, const Bind& bind)
    {
        size_t next = 0;
        for (; next + RowsAStatement <= added_.size(); next += RowsAStatement) {
            for (int i = 0; i < RowsAStatement; ++i)
                bind(many, columns * i, added_[next + size_t(i)]);
            Database::run(many);
        }
        for (; next < added_.size(); ++next) {
            bind(one, 0, added_[next]);
            Database::run(one);
        }
    }

    Database& db_;
    QSqlQuery insert_;
    QSqlQuery historyMany_, historyOne_, filesMany_, filesOne_;
    QString addedStored_;
    QString user_;
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

// One record saved, or why not.
void save(RecordSaver& saver, const CardFile& file, const SurveyValues& values, SaveResult& result)
{
    const QString why = saver.add(values, file);
    if (why.isEmpty())
        ++result.imported;
    else
        result.refused.append({file.name(), why});
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
    RecordSaver saver(db, added, user);
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
                save(saver, file, *p.values, result);
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

    RecordSaver saver(db, added, user);
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
            save(saver, file, *item.values, result);
        }
        progress.advance(k + 1);
    }
    return commit(saver, transaction, progress, result);
}

} // namespace kolva
