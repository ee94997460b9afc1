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
        added_.push_back({file.digest, decodedName(file.entry->fsName), file.size, insert_.lastInsertId()});
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

// Looks up the earlier imports of the files [from, to) by their digests.
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
        result.refused.append({file.entry->name(), why});
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
    RecordSaver saver(db, added, user);
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
                save(saver, file, *pending[k], result);
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

    RecordSaver saver(db, added, user);
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
            save(saver, file, *item.values, result);
        }
        progress.advance(qint64(k + 1));
    }
    return commit(saver, transaction, progress, result);
}

} // namespace kolva
