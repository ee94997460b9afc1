// The GIS export, each format read back by GDAL's own tools and compared
// with the database.

#include "gis/gisexport.h"
#include "platform/progress.h"
#include "store/database.h"
#include "tests/gis/gisreadback.h"
#include "tests/support/oddentries.h"
#include "tests/support/progressrecorder.h"
#include "tests/support/testcontext.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>

#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>

using namespace kolva;
using namespace kolva::test;

namespace {

const DatePeriod Spring2007{QDate(2007, 3, 1), QDate(2007, 3, 31)};

// Files and folders the export left beside its target besides these.
QStringList leftovers(const QString& folder, const QStringList& expected)
{
    QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : expected)
        left.removeAll(name);
    left.removeAll("KOLVA.MDB");
    return left;
}

struct FormatCase {
    const char* file;
    const char* layerName; // as ogrinfo names the layer
    bool shortNames;       // Shapefile: 10-character names
    QStringList files;     // what is written beside the log
};

const FormatCase formats[] = {
    {"trees.gpkg", "trees", false, {"trees.gpkg"}},
    {"trees.geojson", "trees", false, {"trees.geojson"}},
    {"trees.shp", "trees", true, {"trees.shp", "trees.shx", "trees.dbf", "trees.prj", "trees.cpg"}},
};

TEST(GisExport, EachFormatHoldsTheTreesWithAPositionWithTheirKindsAndNulls)
{
    for (const FormatCase& format : formats) {
        SCOPED_TRACE(format.file);
        TestContext t;
        const QString note = QStringLiteral("Érable \"rouge\", près du n° 12\r\nà revoir");
        const qint64 full = addGisRecord(*t.db, {{"Tree_ID", 7},
                                                 {"Species", "ÉRABLE"},
                                                 {"DBH", 12},
                                                 {"Hazard_Rating", 9},
                                                 {"CorrectiveActions", "3,9"},
                                                 {"Note", note},
                                                 {"Site", ""},
                                                 {"Obstructions_Visual", QVariant()}});
        // Coordinates kept as texts, and the corners of the valid range.
        const qint64 asText = addGisRecord(*t.db, {{"Tree_ID", 8}, {"Latitude", " 41.125"}, {"Longitude", "-72.5"},
                                                   {"DBH", QVariant()}, {"Note", QVariant()}});
        const qint64 corner = addGisRecord(*t.db, {{"Tree_ID", 9}, {"Latitude", -90}, {"Longitude", 180}});
        const qint64 lastSecond = addGisRecord(*t.db, {{"Tree_ID", 10}, {"Date_Evaluated", "2007-03-31 23:59:59"}});
        // Left out: no usable position.
        addGisRecord(*t.db, {{"Tree_ID", 21}, {"Latitude", QVariant()}, {"Longitude", QVariant()}});
        // Texts that are no number: the file's engine keeps them in a number
        // column as written, the server holds none (NULL there).
        const auto notANumber = [](const char* text) { return onServer() ? QVariant() : QVariant(text); };
        addGisRecord(*t.db, {{"Tree_ID", 22}, {"Latitude", notANumber("")}});
        addGisRecord(*t.db, {{"Tree_ID", 23}, {"Latitude", 90.000001}});
        addGisRecord(*t.db, {{"Tree_ID", 24}, {"Longitude", -180.5}});
        addGisRecord(*t.db, {{"Tree_ID", 25}, {"Latitude", 0}, {"Longitude", 0}});
        addGisRecord(*t.db, {{"Tree_ID", 26}, {"Latitude", notANumber("N40")}});
        // Outside the period.
        addGisRecord(*t.db, {{"Tree_ID", 30}, {"Date_Evaluated", "2007-04-01 00:00:00"}});

        const QString path = t.dir.filePath(format.file);
        NullProgress progress;
        const GisExportResult result = exportSurveyGis(*t.db, {Spring2007, path}, progress);
        EXPECT_EQ(result.inPeriod, 10);
        EXPECT_EQ(result.records, 4);
        EXPECT_EQ(result.unplaced, 6);
        EXPECT_EQ(result.emptied, 0);

        const QString summary = ogrSummary(path);
        EXPECT_TRUE(summary.contains(QStringLiteral("Layer name: %1\n").arg(format.layerName))) << summary.toStdString();
        EXPECT_TRUE(summary.contains("Geometry: Point\n")) << summary.toStdString();
        if (QFileInfo(path).suffix() == "geojson") { // RFC 7946: WGS 84 always, said by no crs member
            EXPECT_FALSE(fileContents(path).contains("\"crs\"")) << fileContents(path).left(300).toStdString();
        }
        EXPECT_TRUE(summary.contains("Feature Count: 4\n")) << summary.toStdString();
        EXPECT_TRUE(summary.contains("GEOGCRS[\"WGS 84\"")) << summary.toStdString();
        EXPECT_TRUE(summary.contains("ID[\"EPSG\",4326]") || summary.contains("ID[\"OGC\",\"CRS84\"]"))
            << summary.toStdString();
        // Every attribute in order, of its kind.
        const QRegularExpression fieldLine(QStringLiteral("^(\\w+): (\\w+) "), QRegularExpression::MultilineOption);
        QStringList names;
        std::map<QString, QString> types;
        for (auto it = fieldLine.globalMatch(summary.section("Layer SRS WKT", 1)); it.hasNext();) {
            const auto match = it.next();
            if (match.captured(1) == "Data" || match.captured(1) == "Geometry" || match.captured(1) == "FID")
                continue;
            names << match.captured(1);
            types[match.captured(1)] = match.captured(2);
        }
        QStringList expectedNames;
        for (const GisField& field : gisFields())
            expectedNames << (format.shortNames ? field.shortName : field.column);
        EXPECT_EQ(names, expectedNames);
        const auto name = [&](const char* column) {
            for (const GisField& field : gisFields()) {
                if (field.column == QLatin1String(column))
                    return format.shortNames ? field.shortName : field.column;
            }
            return QString();
        };
        // A .dbf number of 10 digits or more reads back as a 64-bit integer.
        EXPECT_EQ(types[name("Tree_ID")], format.shortNames ? "Integer64" : "Integer");
        EXPECT_EQ(types[name("DBH")], "Integer");
        EXPECT_EQ(types[name("Hazard_Rating")], "Integer");
        EXPECT_EQ(types[name("Date_Evaluated")], "Date");
        EXPECT_EQ(types[name("Latitude")], "Real");
        EXPECT_EQ(types[name("Note")], "String");
        EXPECT_EQ(types[name("ReinspectYear")], "String") << "kept as its stored text";

        // The features, compared with the database.
        const QJsonArray features = ogrFeatures(path);
        ASSERT_EQ(features.size(), 4);
        std::map<int, QJsonObject> byTree;
        for (const QJsonValue& f : features)
            byTree[f["properties"][name("Tree_ID")].toInt()] = f.toObject();
        std::set<int> expectedTrees;
        QSqlQuery placed = t.db->query("SELECT Tree_ID FROM _Archived_SurveyData WHERE ID IN (?,?,?,?)",
                                       {full, asText, corner, lastSecond});
        while (placed.next())
            expectedTrees.insert(placed.value(0).toInt());
        std::set<int> writtenTrees;
        for (const auto& [tree, feature] : byTree)
            writtenTrees.insert(tree);
        EXPECT_EQ(writtenTrees, expectedTrees);
        const auto properties = [&](int tree) { return byTree[tree].value("properties").toObject(); };
        const auto coordinates = [&](int tree) {
            return byTree[tree].value("geometry").toObject().value("coordinates").toArray();
        };

        const QJsonObject first = properties(7);
        EXPECT_EQ(coordinates(7), QJsonArray({-73.25, 40.5})) << "longitude first";
        EXPECT_EQ(first[name("Date_Evaluated")].toString(), "2007-03-05") << "the date alone";
        EXPECT_EQ(first[name("Species")].toString(), "ÉRABLE");
        EXPECT_EQ(first[name("DBH")].toInt(), 12);
        EXPECT_EQ(first[name("Hazard_Rating")].toInt(), 9);
        EXPECT_EQ(first[name("CorrectiveActions")].toString(), "3,9");
        EXPECT_EQ(first[name("Note")].toString(), note);
        EXPECT_EQ(first[name("Latitude")].toDouble(), 40.5);
        EXPECT_EQ(first[name("Site")].toString(), "");
        const QJsonObject second = properties(8);
        EXPECT_EQ(coordinates(8), QJsonArray({-72.5, 41.125}));
        EXPECT_EQ(second[name("DBH")], QJsonValue(QJsonValue::Null)) << "NULL stays NULL";
        if (!format.shortNames) { // a .dbf has no NULL text: it reads back empty
            EXPECT_EQ(first[name("Obstructions_Visual")], QJsonValue(QJsonValue::Null));
            EXPECT_EQ(second[name("Note")], QJsonValue(QJsonValue::Null));
        }
        EXPECT_EQ(coordinates(9), QJsonArray({180, -90}));
        EXPECT_EQ(properties(10)[name("Date_Evaluated")].toString(), "2007-03-31");

        // The log names each record left out.
        const QString log = QString::fromUtf8(fileContents(gisLogPath(path)));
        EXPECT_EQ(result.logPath, gisLogPath(path));
        for (const char* said : {"Tree ID 21, STREETNUM STREETNAME, 03/05/2007: no coordinates",
                                 "Tree ID 22, STREETNUM STREETNAME, 03/05/2007: no latitude",
                                 "Tree ID 23, STREETNUM STREETNAME, 03/05/2007: latitude 90.000001 is outside -90 to 90",
                                 "Tree ID 24, STREETNUM STREETNAME, 03/05/2007: longitude -180.5 is outside -180 to 180",
                                 "Tree ID 25, STREETNUM STREETNAME, 03/05/2007: latitude and longitude are both 0",
                                 onServer() ? "Tree ID 26, STREETNUM STREETNAME, 03/05/2007: no latitude"
                                            : "Tree ID 26, STREETNUM STREETNAME, 03/05/2007: latitude \"N40\" is not a number"})
            EXPECT_TRUE(log.contains(QString::fromUtf8(said)))
                << said << "\n" << log.toStdString();
        EXPECT_TRUE(log.contains("Records in the period: 10; written: 4; not written for want of a usable position: 6"));
        EXPECT_EQ(leftovers(t.dir.path(), format.files + QStringList{QFileInfo(gisLogPath(path)).fileName()}),
                  QStringList());
    }
}

TEST(GisExport, EveryRecordTakesThoseWithoutADateAndAnEmptyPeriodWritesNothing)
{
    TestContext t;
    addGisRecord(*t.db, {{"Tree_ID", 1}});
    addGisRecord(*t.db, {{"Tree_ID", 2}, {"Date_Evaluated", QVariant()}});
    const QString path = t.dir.filePath("all.geojson");
    NullProgress progress;
    GisExportResult result = exportSurveyGis(*t.db, {{}, path, true}, progress);
    EXPECT_EQ(result.records, 2);
    EXPECT_EQ(result.undated, 1);
    const QJsonArray features = ogrFeatures(path);
    ASSERT_EQ(features.size(), 2);
    EXPECT_EQ(features[1]["properties"]["Date_Evaluated"], QJsonValue(QJsonValue::Null));

    const QString none = t.dir.filePath("none.gpkg");
    result = exportSurveyGis(*t.db, {{QDate(2001, 1, 1), QDate(2001, 12, 31)}, none}, progress);
    EXPECT_EQ(result.inPeriod, 0);
    EXPECT_FALSE(QFileInfo::exists(none));
    EXPECT_FALSE(QFileInfo::exists(gisLogPath(none)));

    // Trees, but none with a position: no layer, only the log that says why.
    t.db->exec("UPDATE _Archived_SurveyData SET Latitude = NULL");
    result = exportSurveyGis(*t.db, {{}, none, true}, progress);
    EXPECT_EQ(result.inPeriod, 2);
    EXPECT_EQ(result.records, 0);
    EXPECT_FALSE(QFileInfo::exists(none));
    EXPECT_TRUE(fileContents(gisLogPath(none)).contains("Tree ID 2, STREETNUM STREETNAME: no latitude"));
}

TEST(GisExport, CancelLeavesTheOldFileAndNothingElse)
{
    TestContext t;
    {
        Transaction adding(*t.db);
        for (int i = 0; i < 1001; ++i)
            addGisRecord(*t.db, {{"Tree_ID", i}});
        adding.commit();
    }
    for (const FormatCase& format : formats) {
        SCOPED_TRACE(format.file);
        const QString path = t.dir.filePath(format.file);
        ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly)) << "an old file of the name";
        // Within the rows, and after the last row before the file is finished.
        for (qint64 at : {1000, 1001}) {
            ProgressRecorder progress;
            progress.cancelAt("Writing the GIS file", at);
            const GisExportResult result = exportSurveyGis(*t.db, {Spring2007, path}, progress);
            EXPECT_TRUE(result.cancelled);
            EXPECT_EQ(result.records, 0);
            EXPECT_TRUE(progress.stages().at(1).cancellable);
            EXPECT_EQ(fileContents(path), QByteArray()) << "the old file as it was";
            EXPECT_EQ(leftovers(t.dir.path(), {format.file}), QStringList()) << at;
        }
        QFile::remove(path);
    }
}

TEST(GisExport, RefusesALinkPipeOrFolderInThePlaceOfAnyFileOfTheSet)
{
    TestContext t;
    addGisRecord(*t.db, {{"Tree_ID", 1}});
    NullProgress progress;
    // The GeoPackage itself, the Shapefile's .dbf, the log.
    const struct {
        const char* target;
        const char* entry;
    } places[] = {{"trees.gpkg", "trees.gpkg"}, {"trees.shp", "trees.dbf"}, {"trees.geojson", "trees.geojson.log"}};
    for (const auto& place : places) {
        for (const OddEntryCase& odd : oddEntryCases) {
            SCOPED_TRACE(std::string(place.entry) + " " + odd.says);
            QTemporaryDir folder;
            const QString entry = folder.filePath(place.entry);
            const QString outside = folder.filePath("outside.txt");
            makeOddEntry(odd.kind, entry, outside);
            try {
                exportSurveyGis(*t.db, {Spring2007, folder.filePath(place.target)}, progress);
                ADD_FAILURE() << "written";
            } catch (const GisExportError& e) {
                EXPECT_EQ(e.description(), QStringLiteral("%1 %2").arg(place.entry, odd.says));
            }
            expectOddEntryKept(odd.kind, entry, outside);
            QStringList expected{place.entry};
            if (odd.kind == OddEntry::Link)
                expected << "outside.txt";
            EXPECT_EQ(leftovers(folder.path(), expected), QStringList()) << "nothing else written";
        }
    }
}

TEST(GisExport, AShapefileCutsLongTextsAtACharacterAndReplacesAnOldSet)
{
    TestContext t;
    const QString longNote = QString(253, 'x') + QStringLiteral("éé"); // 257 bytes; the first é takes bytes 254 and 255
    addGisRecord(*t.db, {{"Tree_ID", 1}, {"Note", longNote}});
    const QString path = t.dir.filePath("TREES.SHP");
    for (const char* suffix : {"SHP", "SHX", "DBF"})
        ASSERT_TRUE(QFile(t.dir.filePath(QStringLiteral("TREES.") + suffix)).open(QIODevice::WriteOnly));
    const QByteArray dbf = QFile::encodeName(t.dir.filePath("TREES.DBF"));
    ASSERT_EQ(::chmod(dbf.constData(), 0600), 0);
    NullProgress progress;
    const GisExportResult result = exportSurveyGis(*t.db, {Spring2007, path}, progress);
    EXPECT_EQ(result.cut, 1);
    const QJsonArray features = ogrFeatures(path);
    ASSERT_EQ(features.size(), 1);
    EXPECT_EQ(features[0]["properties"]["Note"].toString(), QString(253, 'x')) << "no half character";
    EXPECT_EQ(fileContents(t.dir.filePath("TREES.CPG")).trimmed(), "UTF-8");
    struct stat st {};
    ASSERT_EQ(::stat(dbf.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a replaced file keeps its mode";
    EXPECT_TRUE(fileContents(gisLogPath(path)).contains("Tree ID 1, STREETNUM STREETNAME, 03/05/2007: Note of 257 "
                                                        "bytes cut to 253 bytes"));
    EXPECT_EQ(gisExportNotes(result), "1 text was longer than a Shapefile holds (254 bytes) and was cut.\nThey are "
                                      "listed in " + QDir::toNativeSeparators(gisLogPath(path)) + ".");
}

TEST(GisExport, WaitsWhileAnotherExportPutsItsFilesIntoTheSameFolder)
{
    TestContext t;
    addGisRecord(*t.db, {{"Tree_ID", 1}});
    const QString path = t.dir.filePath("trees.shp");
    // Another export holds the folder while it renames its files.
    const int other = ::open(QFile::encodeName(t.dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    ProgressRecorder progress;
    QString failure;
    const QString database = t.databasePath();
    std::thread exporter([&] {
        try {
            const std::unique_ptr<Database> db = Database::open(database);
            exportSurveyGis(*db, {Spring2007, path}, progress);
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return progress.labels().contains("Putting the files in place"); }, 60000));
    EXPECT_FALSE(QFileInfo::exists(path)) << "not while the other renames its files";
    ::close(other);
    exporter.join();
    EXPECT_EQ(failure, QString());
    EXPECT_EQ(ogrFeatures(path).size(), 1);
}

TEST(GisExport, AGeoPackagePassesGdalsValidation)
{
    const QStringList scripts = {"/usr/share/doc/python3-gdal/examples/validate_gpkg.py",
                                 "/usr/lib/python3/dist-packages/osgeo_utils/samples/validate_gpkg.py"};
    QString script;
    for (const QString& candidate : scripts) {
        if (QFileInfo::exists(candidate))
            script = candidate;
    }
    if (script.isEmpty())
        GTEST_SKIP() << "GDAL's validate_gpkg.py is not installed (python3-gdal)";
    TestContext t;
    addGisRecord(*t.db, {{"Tree_ID", 1}});
    addGisRecord(*t.db, {{"Tree_ID", 2}, {"Note", QVariant()}});
    const QString path = t.dir.filePath("trees.gpkg");
    NullProgress progress;
    exportSurveyGis(*t.db, {Spring2007, path}, progress);
    const ToolRun run = runTool("python3", {script, path});
    EXPECT_EQ(run.status, 0) << run.err.toStdString() << run.out.toStdString();
}

TEST(GisExport, NamesOnlyTheThreeExtensions)
{
    const struct {
        const char* name;
        std::optional<GisFormat> format;
    } cases[] = {{"a.gpkg", GisFormat::GeoPackage}, {"A.GPKG", GisFormat::GeoPackage},
                 {"a.geojson", GisFormat::GeoJson}, {"a.shp", GisFormat::Shapefile},
                 {"a.json", std::nullopt},          {"a.gpkg.csv", std::nullopt},
                 {"gpkg", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(gisFormatOf(c.name), c.format) << c.name;
    TestContext t;
    NullProgress progress;
    try {
        exportSurveyGis(*t.db, {Spring2007, t.dir.filePath("trees.kml")}, progress);
        ADD_FAILURE() << "written";
    } catch (const GisExportError& e) {
        EXPECT_EQ(e.description(),
                  "trees.kml: the name of a GIS file ends in .gpkg (GeoPackage), .geojson (GeoJSON) or .shp (Shapefile).");
    }
}

} // namespace
