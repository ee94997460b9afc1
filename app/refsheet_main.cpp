// Writes KOLVA_Corrective_Actions.PDF from the supplied corrective action
// codes; the build runs this and places the sheet beside the program.

#include "app/refsheet.h"
#include "store/database.h"
#include "store/kolvadb.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kolva-refsheet PATH/KOLVA_Corrective_Actions.PDF\n");
        return 2;
    }
    try {
        QTemporaryDir scratch;
        const QString dbPath = scratch.filePath(QStringLiteral("supplied.db"));
        kolva::createKolvaDatabase(dbPath);
        auto db = kolva::Database::open(dbPath);
        kolva::writeCorrectiveActionSheet(*db, QString::fromLocal8Bit(argv[1]));
    } catch (const kolva::DbError& error) {
        std::fprintf(stderr, "kolva-refsheet: %s\n", error.what());
        return 1;
    }
    return 0;
}
