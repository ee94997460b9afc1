#pragma once
// The GIS export: the survey records of a period as point features in WGS 84
// (EPSG:4326), placed by their Latitude and Longitude, written with GDAL in
// the format the file's name asks for:
//
//   .gpkg     GeoPackage, one layer "trees"
//   .geojson  GeoJSON (RFC 7946: longitude first, no crs member)
//   .shp      Shapefile, with its .shx, .dbf, .prj and .cpg; texts in UTF-8
//
// Each of the CSV export's 44 columns becomes an attribute named after its
// column of the survey table (in a Shapefile by the 10-character name of
// gisFields()): texts as texts, Tree ID, DBH, the trunk decay figures and
// the risk rating as integers, the evaluation date as a date, Latitude and
// Longitude as reals. A NULL stays NULL. A value that cannot be read as its
// kind (a stored "12a" as DBH) is written empty and named in the log.
//
// A record without a usable position (no latitude or longitude, one that is
// not a number, outside -90..90 / -180..180, or both exactly 0) is not
// written: it is counted and listed in the log, NAME.log beside the file.
// A Shapefile holds at most 254 bytes of a text: a longer one is cut at a
// character's end and named in the log.
//
// The file (for a Shapefile each of its files) is written in a temporary
// folder beside the target and renamed into place only when complete, so a
// failure or a cancel leaves the old files as they were; an entry that is a
// link, a folder, a pipe or a device is refused and left alone.
//
// Nothing here touches a widget: the window runs it on a worker thread and
// the command line without a display.

#include "costing/period.h"
#include "store/errors.h"

#include <QString>

#include <optional>
#include <stdexcept>
#include <vector>

namespace kolva {

class Database;
class Progress;

enum class GisFormat { GeoPackage, GeoJson, Shapefile };

// The format of a file name by its extension (any case); none for another.
std::optional<GisFormat> gisFormatOf(const QString& path);
// What to say when the name has none of the three extensions.
QString gisFormatRefusal(const QString& path);

// The kind of an attribute.
enum class GisFieldKind { Text, Integer, Date, Real };

struct GisField {
    QString column;    // the survey table's column, the attribute's name
    QString shortName; // its name in a Shapefile (at most 10 characters)
    GisFieldKind kind;
};

// The attributes in order: the CSV export's 44 columns.
const std::vector<GisField>& gisFields();

struct GisExportOptions {
    DatePeriod period;
    QString path; // the file to write (.gpkg, .geojson or .shp)
    // Every record, those without a date included; the period is not read.
    bool everyRecord = false;
};

// The export could not be written: the system's error number (or GDAL's
// reason) and the reason in words ("Could not write trees.gpkg: ...").
using GisExportError = FileError;

struct GisExportResult {
    qint64 inPeriod = 0;   // records the period holds
    qint64 records = 0;    // features written; 0: no file written
    bool cancelled = false;
    qint64 undated = 0;    // of the features, those without a date
    qint64 unplaced = 0;   // records left out for want of a usable position
    qint64 emptied = 0;    // values written empty as unreadable
    qint64 cut = 0;        // texts cut to fit a Shapefile
    QString logPath;       // the log beside the file, when written
};

// The closing message's lines after the first (the counts, the log).
QString gisExportNotes(const GisExportResult& result);

// The log's name for an export to path: NAME.log beside it.
QString gisLogPath(const QString& path);

// Writes the records of the period to options.path (see above). When the
// period holds no record nothing is written; when none of them has a usable
// position, only the log is written. Throws GisExportError for a file that
// cannot be written, DbError for the database.
GisExportResult exportSurveyGis(Database& db, const GisExportOptions& options, Progress& progress);

} // namespace kolva
