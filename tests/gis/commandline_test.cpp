// "kolva export-gis" run as a scheduled job runs it: a process of its own,
// without a display.

#include "gis/gisexport.h"
#include "store/database.h"
#include "tests/gis/gisreadback.h"
#include "tests/support/testcontext.h"

#include <QFileInfo>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

struct KolvaRun {
    int status = -1;
    QString out;
    QString err;
};

KolvaRun kolva(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(name);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KOLVA_PROGRAM_DIR "/kolva"), arguments);
    KolvaRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(GisCommandLine, WithoutDatesWritesEveryRecordWithAPosition)
{
    TempProgramDir dir;
    {
        const std::unique_ptr<Database> db = Database::open(dir.databasePath());
        addGisRecord(*db, {{"Tree_ID", 1}});
        addGisRecord(*db, {{"Tree_ID", 2}, {"Date_Evaluated", QVariant()}});
        addGisRecord(*db, {{"Tree_ID", 3}, {"Latitude", "abc"}});
    }
    const QString path = dir.filePath("trees.shp");
    const KolvaRun run = kolva({"export-gis", path, "--database", dir.databasePath()});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, path + " created!\n2 trees from 2007-03-05 to 2007-03-05\n"
                              "1 record has no usable coordinates and was not written.\n"
                              "They are listed in " + gisLogPath(path) + ".\n"
                              "1 record has no evaluation date; its Date is empty.\n");
    EXPECT_TRUE(run.err.contains("Writing the GIS file")) << "progress on standard error";
    EXPECT_EQ(ogrFeatures(path).size(), 2);

    // The file is there: replaced only with --overwrite.
    const QByteArray before = fileContents(path);
    KolvaRun again = kolva({"export-gis", path, "--database", dir.databasePath(), "--period", "all-on-file"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains("already exists; nothing was written")) << again.err.toStdString();
    again = kolva({"export-gis", path, "--database", dir.databasePath(), "--from", "2007-03-05", "--to",
                   "2007-03-05", "--overwrite"});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(ogrFeatures(path).size(), 1) << "the dated tree alone";
    EXPECT_NE(fileContents(path), before);
}

TEST(GisCommandLine, RefusalsHaveTheirExitStatus)
{
    TempProgramDir dir;
    {
        const std::unique_ptr<Database> db = Database::open(dir.databasePath());
        addGisRecord(*db, {{"Tree_ID", 1}, {"Longitude", QVariant()}});
    }
    const QString db = dir.databasePath();
    const struct {
        QStringList arguments;
        int status;
        const char* says;
    } cases[] = {
        {{"export-gis"}, 2, "needs the GIS file to write"},
        {{"export-gis", dir.filePath("trees.csv"), "--database", db}, 2, "trees.csv: the name of a GIS file ends in"},
        {{"export-gis", dir.filePath("a.gpkg"), "--from", "2001-01-01", "--to", "2001-12-31", "--database", db}, 3,
         "No trees meet your selection criteria!"},
        {{"export-gis", dir.filePath("a.gpkg"), "--database", db}, 3,
         "None of the trees of the period (1) has usable coordinates"},
        {{"export-gis", dir.filePath("missing/a.gpkg"), "--database", db, "--period", "all-on-file"}, 1,
         "Could not write a.gpkg: No such file or directory"},
    };
    for (const auto& c : cases) {
        const KolvaRun run = kolva(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.says << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("a.gpkg")));
    }
}

} // namespace
