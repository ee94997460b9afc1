// Makes the supplied KOLVA.MDB at the path given, unless a file is already
// there: the build runs this on every build, and a user's data is never replaced.

#include "store/kolvadb.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kolva-makedb PATH/KOLVA.MDB\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (QFileInfo::exists(path)) {
        std::printf("kolva-makedb: %s exists, left as it is\n", argv[1]);
        return 0;
    }
    try {
        kolva::createKolvaDatabase(path);
    } catch (const kolva::DbError& error) {
        std::fprintf(stderr, "kolva-makedb: %s\n", error.what());
        return 1;
    }
    std::printf("kolva-makedb: made %s\n", argv[1]);
    return 0;
}
