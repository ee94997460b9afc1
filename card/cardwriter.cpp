#include "card/cardwriter.h"

#include "store/codepage.h"
#include "card/fieldimport.h"
#include "store/database.h"
#include "store/referencelists.h"
#include "store/safefile.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

#ifdef Q_OS_UNIX
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace kolva {

namespace {

constexpr int ListedEntries = 20;

// What a replaced character was, as a message shows it.
QString describe(QChar c)
{
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
        return QStringLiteral("a line break");
    if (c == QChar(0))
        return QStringLiteral("a NUL character");
    return QLatin1Char('"') + QString(c) + QLatin1Char('"');
}

// Appends one entry and its CR LF; when it had to be altered, says how.
std::optional<AlteredEntry> appendEntry(QByteArray& bytes, const QString& entry)
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
    if (replaced == 0)
        return std::nullopt;
    AlteredEntry altered;
    altered.entry = entry;
    altered.written = fromWindows1252(line);
    QStringList what;
    for (qsizetype i = 0; i < entry.size(); ++i) {
        QString one;
        if (entry[i].isHighSurrogate() && i + 1 < entry.size())
            one = QLatin1Char('"') + entry.mid(i++, 2) + QLatin1Char('"');
        else if (entry[i] == QLatin1Char('\r') || entry[i] == QLatin1Char('\n') || entry[i] == QChar(0) ||
                 windows1252Byte(entry[i].unicode()) < 0)
            one = describe(entry[i]);
        if (!one.isEmpty() && !what.contains(one))
            what << one;
    }
    altered.replaced = what.join(QStringLiteral(", "));
    return altered;
}

} // namespace

CardWriteError::CardWriteError(const QString& description, bool writeProtected)
    : FileError(description), writeProtected_(writeProtected)
{
}

bool isWriteProtected(const QString& root)
{
#ifdef Q_OS_UNIX
    struct statvfs volume;
    const QByteArray path = QFile::encodeName(root);
    if (::statvfs(path.constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY))
        return true;
    return ::access(path.constData(), W_OK) != 0 && errno == EROFS;
#else
    Q_UNUSED(root);
    return false;
#endif
}

namespace {

template <int Question>
QStringList riskRatingEntries(Database& db)
{
    QStringList entries;
    for (const RiskRatingRow& row : readRiskRatingRows(db, Question))
        entries << row.description;
    return entries;
}

template <ReferenceList List>
QStringList referenceEntries(Database& db)
{
    return readReferenceNames(db, List);
}

} // namespace

const std::array<CardListFile, 8>& cardListFiles()
{
    // The risk questions by Risk_Order, the other lists by name; the streets
    // only those chosen for the handheld.
    static const std::array<CardListFile, 8> files = {{
        {"RiskRating_1.txt", "Risk Rating question 1", nullptr, &riskRatingEntries<1>},
        {"RiskRating_2.txt", "Risk Rating question 2", nullptr, &riskRatingEntries<2>},
        {"RiskRating_3.txt", "Risk Rating question 3", nullptr, &riskRatingEntries<3>},
        {"RiskRating_4.txt", "Risk Rating question 4", nullptr, &riskRatingEntries<4>},
        {"RiskZones.txt", "Risk Zones", nullptr, &referenceEntries<ReferenceList::RiskZones>},
        {"Surveyors.txt", "Surveyors", "-- UNKNOWN/OTHER -", &referenceEntries<ReferenceList::Surveyors>},
        {"Streets.txt", "Streets", "-- UNKNOWN/OTHER -", &readHandheldStreetNames},
        {"Species.txt", "Species", nullptr, &referenceEntries<ReferenceList::Species>},
    }};
    return files;
}

QByteArray cardListBytes(Database& db, const CardListFile& file, QList<AlteredEntry>* altered)
{
    QByteArray bytes;
    if (file.firstLine)
        appendEntry(bytes, QString::fromLatin1(file.firstLine));
    for (const QString& entry : file.entries(db)) {
        std::optional<AlteredEntry> changed = appendEntry(bytes, entry);
        if (changed && altered) {
            changed->list = QString::fromLatin1(file.list);
            altered->append(*changed);
        }
    }
    return bytes;
}

CardWriteResult writeStorageCard(Database& db, const QString& root)
{
    CardWriteResult result;
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        throw CardWriteError(root.isEmpty() ? QStringLiteral("No storage card is selected.")
                                            : QStringLiteral("The storage card %1 cannot be found.").arg(displayFolder(root)));
    }
    const QDir card(root);
    for (const CardListFile& list : cardListFiles()) {
        QByteArray bytes;
        try {
            bytes = cardListBytes(db, list, &result.altered);
        } catch (const DbError& error) {
            throw CardWriteError(QStringLiteral("The lists cannot be read from the database: ") + error.message());
        }
        const QString path = card.filePath(QString::fromLatin1(list.name));
        // Never through a link on the card, nor into a pipe or device in the file's place.
        if (const QString failure = writeFileSafely(path, bytes); !failure.isEmpty()) {
            if (isWriteProtected(root))
                throw CardWriteError(QStringLiteral("The storage card in %1 is write-protected: nothing can be written "
                                                    "on it. Slide the lock switch on the side of the card away from "
                                                    "\"Lock\", put the card back in and try again.")
                                         .arg(displayFolder(root)),
                                     true);
            throw CardWriteError(QStringLiteral("%1 cannot be written on the storage card in %2: %3")
                                     .arg(QString::fromLatin1(list.name), displayFolder(root), failure));
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
        lines << QStringLiteral("%1: %2 (%3 written as \"?\")")
                     .arg(altered[i].list, altered[i].written, altered[i].replaced);
    if (altered.size() > ListedEntries)
        lines << QStringLiteral("... and %1 more").arg(altered.size() - ListedEntries);
    return lines.join(QLatin1Char('\n'));
}

} // namespace kolva
