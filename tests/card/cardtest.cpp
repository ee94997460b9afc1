#include "tests/card/cardtest.h"

#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace kolva::test {

QByteArrayList treeLines(int treeId)
{
    QByteArrayList lines = {
        "KOLVA PDA 1.0",            // 1 (ignored)
        QByteArray::number(treeId), // 2 Tree_ID
        "ANNA O'NEIL",              // 3 Surveyor
        "1/2/2008 2:20:00 PM",      // 4 Date_Evaluated
        "DOWNTOWN",                 // 5 RiskZone
        "112",                      // 6 StreetNum
        "MAIN ST",                  // 7 StreetName
        "FRONT",                    // 8 Location
        "ACRU-RED MAPLE",           // 9 Species
        "14",                       // 10 DBH
        "1. Tree Lawn",             // 11 Site
    };
    for (int line = 12; line <= 50; ++line)
        lines << "0. None";
    lines[24] = "3";     // 25 TrunkDecay_Shell
    lines[25] = "10";    // 26 TrunkDecay_Diam
    lines[26] = "40";    // 27 TrunkDecay_Pct
    lines[38] = "7";     // 39 Hazard_Rating
    lines[39] = "";      // 40 Desc_OtherRisk
    lines[40] = "2010";  // 41 ReinspectYear
    lines[41] = "3,5";   // 42 CorrectiveActions
    lines[42] = "";      // 43 Note
    lines[43] = "Primary"; // 44 Utility_Conflict
    for (int line = 45; line <= 50; ++line)
        lines[line - 1] = "";
    return lines;
}

QByteArray joinLines(const QByteArrayList& lines, const QByteArray& eol)
{
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + eol;
    return bytes;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return file.readAll();
}

TestCard::TestCard(bool marked)
{
    if (marked)
        writeBytes(path("RiskRating_1.txt"), "Size of Defective Part \r\n");
}

void TestCard::addTree(const QString& name, const QByteArrayList& lines)
{
    writeBytes(path(name), joinLines(lines));
}

void TestCard::addRaw(const QString& name, const QByteArray& bytes)
{
    writeBytes(path(name), bytes);
}

bool TestCard::has(const QString& name) const
{
    return QFileInfo::exists(dir_.filePath(name));
}

QStringList TestCard::treeFiles() const
{
    QStringList names;
    for (const QString& name : QDir(dir_.path()).entryList(QDir::Files, QDir::Name))
        if (name.endsWith(".tree", Qt::CaseInsensitive))
            names << name;
    return names;
}

void failInsertsWhen(Database& db, const QString& condition, InsertFailure failure, const QString& message,
                     const QString& logTable)
{
    static int made = 0;
    const QString name = QStringLiteral("fail_inserts_%1").arg(++made);
    QString quoted = message;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    if (!db.isServer()) {
        // SQLite's RAISE: ABORT undoes the statement, ROLLBACK the transaction.
        const QString log = logTable.isEmpty() ? QString()
                                               : QStringLiteral("INSERT INTO %1 VALUES (NEW.Tree_ID); ").arg(logTable);
        const QString raise = failure == InsertFailure::Refused ? QStringLiteral("ABORT") : QStringLiteral("ROLLBACK");
        db.exec(QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON _Archived_SurveyData BEGIN %2"
                               "SELECT RAISE(%3, '%4') WHERE %5; END")
                    .arg(name, log, raise, quoted, condition));
        return;
    }
    // The server's error classes: a rule of the table (a check), an
    // internal error, a full disk.
    const char* const code = failure == InsertFailure::Refused         ? "check_violation"
                             : failure == InsertFailure::EngineGivesUp ? "internal_error"
                                                                       : "disk_full";
    const QString log = logTable.isEmpty() ? QString()
                                           : QStringLiteral("INSERT INTO %1 VALUES (NEW.Tree_ID); ").arg(logTable);
    db.exec(QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN %2"
                           "IF %3 THEN RAISE EXCEPTION USING ERRCODE = '%4', MESSAGE = '%5'; END IF; "
                           "RETURN NEW; END $$")
                .arg(name, log, condition, QLatin1String(code), quoted));
    db.exec(QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON _Archived_SurveyData FOR EACH ROW EXECUTE FUNCTION %1()")
                .arg(name));
}

} // namespace kolva::test
