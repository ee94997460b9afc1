#pragma once
// Saving the records of a card's files: one Survey record per file, with
// its history row "imported" and the digest of its file, all in one
// transaction, the files read on another thread as the records are added.
// Only what the import keeps of each file stays in memory (CardFile); the
// records themselves are dropped once saved.

#include "card/cardscan.h"

#include <QSqlQuery>

namespace kolva {

class Database;
class Progress;

struct SaveResult {
    int imported = 0;
    QList<NamedFile> refused; // content the database or the reader refused
    QList<NamedFile> skipped; // imported before and not imported again, or the same bytes twice
};

// How a pass over the files ended. Nothing is committed unless Saved.
enum class SaveOutcome {
    Saved,     // committed
    Waiting,   // files imported before wait for the question
    Cancelled, // the user stopped before the commit
};

// The first pass: reads every file of the scan into read (what is kept of
// each, and the bytes of the files up to keepBytes) and saves their records as they are read. From the first file
// imported before on, nothing more is saved: the files are read to the end
// for the question, and the pass ends Waiting. Throws CardAccessError when
// the card cannot be read and DbError when the database fails; then nothing
// was saved. Cancel is honoured until the commit begins.
SaveOutcome saveAsRead(Database& db, const CardScan& scan, CardRead& read, const QDateTime& added,
                       const QString& user, qint64 keepBytes, Progress& progress, SaveResult& result);

// The pass after the question: saves the records of the files read (those
// imported before too with importAgain), reading each file to save again;
// a file whose bytes changed since the first pass stops the import with a
// CardAccessError. Files imported since they were looked up (by another
// import meanwhile) are not saved. Throws as saveAsRead.
SaveOutcome saveAfterQuestion(Database& db, CardRead& read, bool importAgain, const QDateTime& added,
                              const QString& user, Progress& progress, SaveResult& result);

// The bytes kept for the backup copies, at most: the copies of further
// files read the card again. Without a backup copy none are kept.
constexpr qint64 KeptBytesBudget = 16 * 1024 * 1024;

} // namespace kolva
