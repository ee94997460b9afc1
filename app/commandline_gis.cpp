// The GIS export on the command line: "kolva export-gis".

#include "app/commandline_p.h"
#include "costing/csvexport.h"
#include "costing/period.h"
#include "gis/gisexport.h"
#include "platform/jobprogress.h"

#include <QDate>
#include <QDir>

#include <optional>

namespace kolva::cli {

namespace {

const char* const exportGisHelp = R"HELP(Usage: kolva export-gis FILE [--from DATE --to DATE | --period NAME]
                        [--overwrite] [--database FILE|URI] [--wait SECONDS]

Writes the survey records evaluated in a period to FILE as points in WGS 84
(EPSG:4326), placed by their latitude and longitude, as "Export for GIS"
does. The name of FILE chooses the format:
  .gpkg      GeoPackage (layer "trees")
  .geojson   GeoJSON (RFC 7946)
  .shp       Shapefile, with its .shx, .dbf, .prj and .cpg (texts in UTF-8)
Each point carries the 44 columns of the CSV export as attributes of their
kind (the evaluation date a date, Tree ID, DBH and the risk rating whole
numbers); an empty field stays empty (NULL). Without dates (or with --period
all-on-file) every record on file is written, those without an evaluation
date too.

A record without a usable position (no latitude or longitude, outside -90 to
90 or -180 to 180, or both 0) is not written: the output counts them and
FILE.log beside the file lists them.

The file is written in a temporary folder beside FILE and put in place only
when complete; an existing FILE is replaced only with --overwrite.

Exit status: 0 done; 1 the file could not be written (the reason on
standard error); 2 wrong command line or dates the window would refuse;
3 no tree in the period, or none with a usable position (no GIS file
written).

Examples:
  kolva export-gis trees.gpkg
  kolva export-gis 2007.geojson --from 2007-01-01 --to 2007-12-31
  kolva export-gis /srv/gis/kolva.shp --period last-month --overwrite

Options:
  --from DATE        the first day of the period
  --to DATE          the last day of the period (not before the first)
  --period NAME      a named period instead of the dates: all-on-file,
                     current-month, current-quarter, current-year,
                     month-to-date, quarter-to-date, year-to-date,
                     last-month, last-quarter, last-year
  --overwrite        replace FILE when it exists
  --database FILE|URI
                     work on FILE or on the PostgreSQL database of the URI
                     instead of KOLVA.MDB beside the program
  --wait SECONDS     how long to wait for a database another KOLVA is writing
                     to (default 5)
  -h, --help         show this help

Dates: Jan 05 2007, Jan 5, 2007, 1/5/2007 (month first) or 2007-01-05.
)HELP";

} // namespace

int exportGisCommand(const QStringList& arguments, const QString& programDir)
{
    CommandOptions options(QStringLiteral("export-gis"), exportGisHelp);
    addPeriodOptions(options);
    options.add(QStringLiteral("overwrite"));
    if (const int status = options.parse(arguments); status >= 0)
        return status;
    const QStringList files = options.positional();
    if (files.isEmpty() || files[0].trimmed().isEmpty())
        wrongUsage(QStringLiteral("export-gis needs the GIS file to write: kolva export-gis FILE"));
    if (files.size() > 1)
        wrongUsage(QStringLiteral("export-gis takes one file; \"%1\" is one too many").arg(files[1]));
    const QString path = files[0];
    if (!gisFormatOf(path))
        wrongUsage(gisFormatRefusal(path));
    const PeriodChoice choice = periodChoice(options, true);
    checkOverwrite(options, path);

    const std::unique_ptr<Database> db = options.openDatabase(programDir);
    const int wait = options.busyTimeoutMs();
    const QString noTrees = QStringLiteral("No trees meet your selection criteria!");
    GisExportOptions exportOptions;
    exportOptions.path = path;
    try {
        // Without dates: every record on file, dated or not.
        std::optional<DatePeriod> period;
        if ((!choice.preset && !choice.dates) || choice.preset == PeriodPreset::AllOnFile) {
            exportOptions.everyRecord = true;
            period = surveyDatePeriod(*db);
        } else {
            period = chosenPeriod(choice, *db, QDate::currentDate(), noTrees);
            exportOptions.period = period.value();
        }
        StreamProgress progress(stderr);
        const GisExportResult result = exportSurveyGis(*db, exportOptions, progress);
        if (result.cancelled)
            fail(QStringLiteral("Stopped; the GIS file %1 was not written.").arg(QDir::toNativeSeparators(path)));
        if (result.inPeriod == 0)
            throw CommandEnd(NothingToDo, noTrees);
        const QString notes = gisExportNotes(result);
        if (result.records == 0)
            throw CommandEnd(NothingToDo,
                             QStringLiteral("None of the trees of the period (%1) has usable coordinates; no GIS file "
                                            "was written.\n%2")
                                 .arg(result.inPeriod)
                                 .arg(notes));
        QString said = QStringLiteral("%1 created!\n%2 %3").arg(path).arg(result.records).arg(
            result.records == 1 ? QStringLiteral("tree") : QStringLiteral("trees"));
        if (period && result.undated < result.records)
            said += QStringLiteral(" from %1 to %2").arg(period->begin.toString(Qt::ISODate),
                                                       period->end.toString(Qt::ISODate));
        said += QLatin1Char('\n');
        if (!notes.isEmpty())
            said += notes + QLatin1Char('\n');
        out(said);
        return Done;
    } catch (const GisExportError& error) {
        fail(QStringLiteral("%1 - %2\nThe GIS file %3 was not written.")
                 .arg(error.number())
                 .arg(error.description(), QDir::toNativeSeparators(path)));
    } catch (const DbError& error) {
        const QString number = error.code().isEmpty() ? QStringLiteral("0") : error.code();
        fail(databaseFailure(number + QStringLiteral(" - ") + error.message(), db->path(), wait));
    }
}

} // namespace kolva::cli
