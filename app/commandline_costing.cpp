// Costing on the command line: "kolva export-csv", and the options of
// "kolva report cost-summary" with the report period they share.

#include "app/commandline_p.h"
#include "costing/costsummary.h"
#include "costing/csvexport.h"
#include "costing/period.h"
#include "platform/jobprogress.h"
#include "reports/reportdata.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cstdio>
#include <optional>

namespace kolva::cli {

namespace {

const char* const exportHelp = R"HELP(Usage: kolva export-csv FILE|- [--from DATE --to DATE | --period NAME] [--bom]
                        [--overwrite] [--database FILE|URI] [--wait SECONDS]
                        [--quiet]

Writes the survey records evaluated in a period to the CSV file FILE for a
spreadsheet, as "Excel Export" does: a header line and one line of 44 items
per record. Without dates (or with --period all-on-file) every record on
file is written, those without an evaluation date too, with their Date
empty; the output says how many have none.

The file is UTF-8. With --bom it is written for a spreadsheet, as the
window's "for a spreadsheet" writes it: with a byte-order mark, by which
spreadsheet programs recognise UTF-8, and with a text that would start a
formula (=, +, -, @ first) written after an apostrophe, so that opening the
file never runs what a text holds.

The file is written under a temporary name and put in place only when
complete; an existing FILE is replaced only with --overwrite. When the
period holds no record nothing is written. With - as FILE the lines go to
standard output, and what was written is said on standard error.

Exit status: 0 done; 1 the file could not be written (the reason on
standard error); 2 wrong command line or dates the window would refuse;
3 no tree in the period (nothing written).

Examples:
  kolva export-csv trees.csv
  kolva export-csv 2007.csv --from 2007-01-01 --to 2007-12-31
  kolva export-csv /srv/gis/kolva-last-month.csv --period last-month --overwrite
  kolva export-csv trees-for-excel.csv --period last-year --bom
  kolva export-csv - --period last-month | gzip > last-month.csv.gz

Options:
  --from DATE        the first day of the period
  --to DATE          the last day of the period (not before the first)
  --period NAME      a named period instead of the dates: all-on-file,
                     current-month, current-quarter, current-year,
                     month-to-date, quarter-to-date, year-to-date,
                     last-month, last-quarter, last-year
  --bom              write the file for a spreadsheet (see above)
  --overwrite        replace FILE when it exists
  --database FILE|URI
                     work on FILE or on the PostgreSQL database of the URI
                     instead of KOLVA.MDB beside the program
  --wait SECONDS     how long to wait for a database another KOLVA is writing
                     to (default 5)
  -q, --quiet        print nothing when the file is written
  -h, --help         show this help

Dates: Jan 05 2007, Jan 5, 2007, 1/5/2007 (month first) or 2007-01-05.
)HELP";

// The named period of --period.
PeriodPreset presetNamed(const QString& name)
{
    const QStringList names = periodPresetNames();
    QString wanted = name.toLower();
    wanted.replace(QLatin1Char('-'), QLatin1Char(' ')).replace(QLatin1Char('_'), QLatin1Char(' '));
    wanted = wanted.simplified();
    QStringList offered;
    for (int i = int(PeriodPreset::AllOnFile); i < PeriodPresetCount; ++i) {
        if (names[i].toLower() == wanted)
            return PeriodPreset(i);
        offered << names[i].toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
    }
    wrongUsage(QStringLiteral("--period takes one of %1, not \"%2\"").arg(offered.join(QStringLiteral(", ")), name));
}

} // namespace

void addPeriodOptions(CommandOptions& options)
{
    options.add(QStringLiteral("from"), QStringLiteral("DATE"));
    options.add(QStringLiteral("to"), QStringLiteral("DATE"));
    options.add(QStringLiteral("period"), QStringLiteral("NAME"));
}

PeriodChoice periodChoice(const CommandOptions& options, bool refuseReversed)
{
    PeriodChoice choice;
    const bool dates = options.isSet(QStringLiteral("from")) || options.isSet(QStringLiteral("to"));
    if (options.isSet(QStringLiteral("period"))) {
        if (dates)
            wrongUsage(QStringLiteral("--period cannot be given with --from or --to"));
        choice.preset = presetNamed(options.value(QStringLiteral("period")));
    } else if (dates) {
        const PeriodReading reading =
            readPeriod(options.value(QStringLiteral("from")), options.value(QStringLiteral("to")), refuseReversed);
        if (reading.problem)
            wrongUsage(reading.problem->text);
        choice.dates = reading.period;
    }
    return choice;
}

std::optional<DatePeriod> chosenPeriod(const PeriodChoice& choice, Database& db, const QDate& today,
                                       const QString& noTrees)
{
    if (!choice.preset)
        return choice.dates;
    std::optional<DatePeriod> onFile;
    if (*choice.preset == PeriodPreset::AllOnFile)
        onFile = surveyDatePeriod(db);
    const std::optional<DatePeriod> period = presetPeriod(*choice.preset, today, onFile);
    if (!period) // all on file, and no record on file
        throw CommandEnd(NothingToDo, noTrees);
    return period;
}

int exportCsvCommand(const QStringList& arguments, const QString& programDir)
{
    CommandOptions options(QStringLiteral("export-csv"), exportHelp);
    addPeriodOptions(options);
    options.add(QStringLiteral("bom"));
    options.add(QStringLiteral("overwrite"));
    if (const int status = options.parse(arguments); status >= 0)
        return status;
    const QStringList files = options.positional();
    if (files.isEmpty() || files[0].trimmed().isEmpty())
        wrongUsage(QStringLiteral("export-csv needs the CSV file to write: kolva export-csv FILE"));
    if (files.size() > 1)
        wrongUsage(QStringLiteral("export-csv takes one file; \"%1\" is one too many").arg(files[1]));
    const QString path = files[0];
    const bool toStandardOutput = path == QLatin1String("-");
    const PeriodChoice choice = periodChoice(options, true);
    if (!toStandardOutput)
        checkOverwrite(options, path);

    const std::unique_ptr<Database> db = options.openDatabase(programDir);
    const int wait = options.busyTimeoutMs();
    const QString noTrees = QStringLiteral("No trees meet your selection criteria!");
    CsvExportOptions exportOptions;
    exportOptions.path = path;
    exportOptions.forSpreadsheet = options.isSet(QStringLiteral("bom"));
    QFile standardOutput;
    if (toStandardOutput) {
        std::fflush(stdout);
        if (!standardOutput.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
            fail(QStringLiteral("The CSV lines cannot be written to standard output: %1")
                     .arg(standardOutput.errorString()));
        exportOptions.stream = &standardOutput;
    }
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
        const CsvExportResult result = exportSurveyCsv(*db, exportOptions, progress);
        if (result.records == 0)
            throw CommandEnd(NothingToDo, noTrees);
        QString said = QStringLiteral("%1 created!\n%2 %3")
                           .arg(toStandardOutput ? QStringLiteral("Standard output") : path)
                           .arg(result.records)
                           .arg(
            result.records == 1 ? QStringLiteral("record") : QStringLiteral("records"));
        if (period && result.undated < result.records)
            said += QStringLiteral(" from %1 to %2").arg(period->begin.toString(Qt::ISODate),
                                                       period->end.toString(Qt::ISODate));
        said += QLatin1Char('\n');
        if (result.undated > 0)
            said += undatedRecordsNote(result.undated) + QLatin1Char('\n');
        // The lines themselves are on standard output.
        if (!toStandardOutput)
            out(said);
        else if (!quiet())
            err(said);
        return Done;
    } catch (const CsvExportError& error) {
        if (toStandardOutput)
            fail(QStringLiteral("%1 - %2").arg(error.number()).arg(error.description()));
        fail(QStringLiteral("%1 - %2\nThe CSV file %3 was not written.")
                 .arg(error.number())
                 .arg(error.description(), QDir::toNativeSeparators(path)));
    } catch (const DbError& error) {
        const QString number = error.code().isEmpty() ? QStringLiteral("0") : error.code();
        fail(databaseFailure(number + QStringLiteral(" - ") + error.message(), db->path(), wait));
    }
}

CostReportOptions costSummaryOptions(const CommandOptions& options, Database& db, const QDate& today)
{
    CostReportOptions o;
    if (options.isSet(QStringLiteral("actions"))) {
        o.actions.fill(false);
        const QString list = options.value(QStringLiteral("actions"));
        if (list.trimmed().compare(QStringLiteral("all"), Qt::CaseInsensitive) == 0) {
            o.actions.fill(true);
        } else {
            for (const QString& piece : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                bool ok = false;
                const int code = piece.trimmed().toInt(&ok);
                if (!ok || code < 1 || code > int(o.actions.size()))
                    wrongUsage(QStringLiteral("--actions takes the codes of corrective actions, 1 to 11, as 3,9 "
                                              "(or all), not \"%1\"")
                                   .arg(list));
                o.actions[size_t(code - 1)] = true;
            }
        }
    }
    o.fromText = ratingText(options, QStringLiteral("rating-from"), o.fromText);
    // As the options window opens: the highest rating the risk questions can give.
    o.toText = ratingText(options, QStringLiteral("rating-to"), QString::number(highestRiskRating(db)));
    if (options.isSet(QStringLiteral("sort"))) {
        static const QStringList names = {QStringLiteral("cost"), QStringLiteral("cost-low"), QStringLiteral("rating"),
                                          QStringLiteral("street"), QStringLiteral("tree-id")};
        const int index = int(names.indexOf(options.value(QStringLiteral("sort")).toLower()));
        if (index < 0)
            wrongUsage(QStringLiteral("--sort takes %1, not \"%2\"")
                           .arg(names.join(QStringLiteral(", ")), options.value(QStringLiteral("sort"))));
        o.sort = CostSort(index);
    }
    // The options window opens on the last 365 days. All on file takes every
    // record, those without a date too.
    const PeriodChoice period = periodChoice(options, false);
    if (period.preset == PeriodPreset::AllOnFile) {
        o.allOnFile = true;
        o.period = surveyDatePeriod(db).value_or(DatePeriod{});
    } else {
        o.period = chosenPeriod(period, db, today, noCostTreesMessage())
                       .value_or(DatePeriod{today.addDays(-365), today});
    }
    if (const std::optional<CostOptionsProblem> problem = costOptionsProblem(o))
        wrongUsage(problem->text);
    return o;
}

} // namespace kolva::cli
