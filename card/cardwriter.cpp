#include "card/cardwriter.h"

#include "store/codepage.h"
#include "card/fieldimport.h"
#include "store/database.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace kolva {

namespace {

constexpr int ListedEntries = 20;

// Appends one entry and its CR LF; tells whether it had to be altered.
bool appendEntry(QByteArray& bytes, const QString& entry)
{
    int replaced = 0;
    QByteArray line = toWindows1252(entry, &replaced);
    for (char& c : line) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = '?';
            ++replaced;
        }
    }
    bytes += line;
    bytes += "\r\n";
    return replaced > 0;
}

} // namespace

CardWriteError::CardWriteError(int number, const QString& description)
    : std::runtime_error(QStringLiteral("%1 - %2").arg(number).arg(description).toStdString()), number_(number),
      description_(description)
{
}

const std::array<CardListFile, 8>& cardListFiles()
{
    static const std::array<CardListFile, 8> files = {{
        {"RiskRating_1.txt", nullptr,
         "SELECT Description FROM Risk_Rating WHERE Risk_Question_Num=1 ORDER BY Risk_Order"},
        {"RiskRating_2.txt", nullptr,
         "SELECT Description FROM Risk_Rating WHERE Risk_Question_Num=2 ORDER BY Risk_Order"},
        {"RiskRating_3.txt", nullptr,
         "SELECT Description FROM Risk_Rating WHERE Risk_Question_Num=3 ORDER BY Risk_Order"},
        {"RiskRating_4.txt", nullptr,
         "SELECT Description FROM Risk_Rating WHERE Risk_Question_Num=4 ORDER BY Risk_Order"},
        {"RiskZones.txt", nullptr, "SELECT Description FROM RiskZone ORDER BY Description"},
        {"Surveyors.txt", "-- UNKNOWN/OTHER -", "SELECT Description FROM Surveyors ORDER BY Description"},
        {"Streets.txt", "-- UNKNOWN/OTHER -", "SELECT StreetName FROM Streets_PDA ORDER BY StreetName"},
        {"Species.txt", nullptr, "SELECT Description FROM Species ORDER BY Description"},
    }};
    return files;
}

QByteArray cardListBytes(Database& db, const CardListFile& file, QList<AlteredEntry>* altered)
{
    QByteArray bytes;
    if (file.firstLine)
        appendEntry(bytes, QString::fromLatin1(file.firstLine));
    QSqlQuery rows = db.query(QString::fromLatin1(file.query));
    while (rows.next()) {
        const QString entry = rows.value(0).toString();
        if (appendEntry(bytes, entry) && altered)
            altered->append({QString::fromLatin1(file.name), entry});
    }
    return bytes;
}

CardWriteResult writeStorageCard(Database& db, const QString& root)
{
    CardWriteResult result;
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        throw CardWriteError(int(QFileDevice::OpenError),
                             root.isEmpty() ? QStringLiteral("No storage card is selected.")
                                            : QStringLiteral("The storage card %1 cannot be found.").arg(displayFolder(root)));
    }
    const QDir card(root);
    for (const CardListFile& list : cardListFiles()) {
        QByteArray bytes;
        try {
            bytes = cardListBytes(db, list, &result.altered);
        } catch (const DbError& error) {
            throw CardWriteError(error.code().toInt(), error.message());
        }
        const QString path = card.filePath(QString::fromLatin1(list.name));
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
            const int number = out.error() != QFileDevice::NoError ? int(out.error()) : int(QFileDevice::WriteError);
            throw CardWriteError(number,
                                 QStringLiteral("%1 cannot be written: %2").arg(displayFolder(path), out.errorString()));
        }
        result.written << QString::fromLatin1(list.name);
    }
    return result;
}

QString alteredEntriesReport(const QList<AlteredEntry>& altered)
{
    if (altered.isEmpty())
        return {};
    QStringList lines;
    if (altered.size() == 1)
        lines << QStringLiteral("1 entry holds characters a storage card cannot hold; it was written with \"?\" in "
                                "their place:");
    else
        lines << QStringLiteral("%1 entries hold characters a storage card cannot hold; they were written with \"?\" "
                                "in their place:")
                     .arg(altered.size());
    for (int i = 0; i < altered.size() && i < ListedEntries; ++i)
        lines << altered[i].file + QStringLiteral(": ") +
                     QString(altered[i].entry).replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (altered.size() > ListedEntries)
        lines << QStringLiteral("... and %1 more").arg(altered.size() - ListedEntries);
    return lines.join(QLatin1Char('\n'));
}

} // namespace kolva
