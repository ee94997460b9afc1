#pragma once
// The generated field data of the storage card benchmarks: .tree files as
// the handheld writes them, the database the imports start from, and the
// same records as CSV for the floor of public tools.

#include "card/treefile.h"
#include "store/database.h"
#include "store/kolvadb.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QStringList>

namespace kolva::bench {

inline constexpr const char* Surveyors[] = {"ANNA O'NEIL", "BOB SMITH", "CARLA DIAZ", "DAN LEE", "EVA KOVAC", "FRANK ZHOU"};
inline constexpr const char* SpeciesNames[] = {"ACPL-NORWAY MAPLE", "ACRU-RED MAPLE", "GIBI-GINKGO", "GLTR-HONEYLOCUST",
                                    "PYCA-CALLERY PEAR", "QUPA-PIN OAK", "TICO-LITTLELEAF LINDEN", "ULAM-AMERICAN ELM"};
inline constexpr const char* Streets[] = {"MAIN ST", "ELM ST", "OAK AVE", "PARK BLVD", "RIVER RD", "HILL ST", "LAKE DR"};

// The 50 lines of the .tree file of tree n, as the handheld writes them.
inline QByteArrayList treeLines(int n)
{
    QByteArrayList lines;
    lines << "KOLVA PDA 1.0";
    lines << QByteArray::number(n);
    lines << Surveyors[n % 6];
    lines << QStringLiteral("%1/%2/2008 %3:%4:00 %5")
                 .arg(1 + n % 12)
                 .arg(1 + n % 28)
                 .arg(1 + n % 12)
                 .arg(n % 60, 2, 10, QLatin1Char('0'))
                 .arg(n % 2 ? QStringLiteral("PM") : QStringLiteral("AM"))
                 .toLatin1();
    lines << (n % 3 ? "DOWNTOWN" : "PARKS");
    lines << QByteArray::number(100 + n % 900);
    lines << Streets[n % 7];
    lines << (n % 2 ? "FRONT" : "SIDE");
    lines << SpeciesNames[n % 8];
    lines << (n % 5 ? QByteArray::number(4 + n % 40) : QByteArray::number(4 + n % 40) + ".5");
    lines << "1. Tree Lawn";
    const char* const coded[] = {"0. None", "1. Minor", "2. Moderate", "3. Severe"};
    for (int line = 12; line <= 24; ++line)
        lines << coded[(n + line) % 4];
    lines << QByteArray::number(n % 6) << QByteArray::number(n % 20) << QByteArray::number(n % 100);
    for (int line = 28; line <= 38; ++line)
        lines << coded[(n * 3 + line) % 4];
    lines << QByteArray::number(n % 13);
    lines << (n % 4 ? "" : "Leaning toward the neighbour's garage");
    lines << QByteArray::number(2009 + n % 4);
    lines << (n % 3 ? "3,5" : "");
    lines << (n % 7 ? "" : "Crew's note: check again after the storm, \x93soon\x94");
    lines << (n % 2 ? "Primary" : "None");
    for (int line = 45; line <= 50; ++line)
        lines << "";
    return lines;
}

inline QByteArray fileBytes(const QByteArrayList& lines)
{
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

inline QString csvField(const QVariant& value)
{
    QString text = value.toString();
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n')))
        text = QLatin1Char('"') + text.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
    return text;
}

// The database of that many records the imports start from.
inline void makeBaseDatabase(const QString& path, const QDateTime& added, int records)
{
    createKolvaDatabase(path);
    auto db = openKolvaDatabase(path);
    Transaction transaction(*db);
    QStringList columns, marks;
    for (const SurveyField& field : surveyFields()) {
        columns << QLatin1String(field.column);
        marks << QStringLiteral("?");
    }
    QSqlQuery insert = db->prepare(QStringLiteral("INSERT INTO _Archived_SurveyData(%1) VALUES (%2)")
                                       .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    for (int n = 0; n < records; ++n) {
        const auto lines = TreeFileReader::parse(fileBytes(treeLines(500000 + n)), nullptr);
        const auto values = toSurveyValues(*lines, added, nullptr);
        for (int i = 0; i < treefile::FieldCount; ++i)
            insert.bindValue(i, (*values)[size_t(i)]);
        Database::run(insert);
    }
    insert.finish();
    transaction.commit();
}


} // namespace kolva::bench
