// The reports on the command line: "kolva report KIND --pdf FILE", built by
// the report functions the report windows run and saved as their "Save as a
// PDF" saves.

#include "app/commandline_p.h"
#include "platform/jobprogress.h"
#include "reports/actionreports.h"
#include "reports/reinspection.h"
#include "reports/reportdata.h"
#include "platform/settings.h"
#include "reports/reportdocument.h"
#include "reports/reportkinds.h"
#include "store/correctiveactions.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace kolva::cli {

namespace {

const char* const reportHelp = R"HELP(Usage: kolva report KIND --pdf FILE [options]

Makes a report as its options window's "Print Report" does, with the same
checks and the same options (given as the options below; what is not given
is as the window opens), and writes it as the PDF file FILE as "Save as a
PDF" does. KIND is one of:
  reinspection   the trees due for reinspection in chosen quarters of a year
  needing-ca     the trees needing corrective action
  specific-ca    the trees needing one chosen corrective action (marks them
                 in Report_Flag first, as the window does)
  cost-summary   the risk reduction cost summary: the trees of a period
                 and a range of risk ratings, each priced by its DBH for the
                 corrective actions chosen (writes its work table
                 _tmp_Cost_Report, as the window does); a tree without a
                 rating is in no range, and the summary says how many it
                 left out

Runs without any display. Prints "FILE created!" and the number of pages;
progress goes to standard error, and so do the characters of the report no
installed font can draw (they print as empty boxes). An existing FILE is
replaced only with --overwrite, and only once the new file is complete.

Exit status: 0 done; 1 the report could not be made or written (the reason
on standard error); 2 wrong command line or options the window would refuse;
3 no tree in the period and rating range of the cost summary (nothing
written).

Examples:
  kolva report reinspection --pdf due-2026.pdf --year 2026 --quarters 1,2
  kolva report reinspection --pdf parks.pdf --zone PARKS --sort street
  kolva report needing-ca --pdf worklist.pdf --rating-from 8 --divide-by-zone
  kolva report specific-ca --pdf removals.pdf --action 3 --overwrite
  kolva report cost-summary --pdf costs.pdf --period last-quarter --actions 3,9

Options of every report:
  --pdf FILE         the PDF file to write (required)
  --overwrite        replace FILE when it exists
  --database FILE|URI
                     work on FILE or on the PostgreSQL database of the URI
                     instead of KOLVA.MDB beside the program
  --wait SECONDS     how long to wait for a database another KOLVA is writing
                     to (default 5)
  -q, --quiet        print nothing when the PDF is written
  -h, --help         show this help

reinspection:
  --year YEAR        the year the inspections are due in (default: this year)
  --quarters LIST    the quarters: 1,2,3,4 or Q1,Q3 (default: all four)
  --rating-from N    the lowest risk rating (default 0)
  --rating-to N      the highest risk rating (default: the highest the risk
                     questions can give)
  --zone NAME        only the trees of this risk zone; "(none)": the trees
                     without one (default: all zones)
  --sort ORDER       tree-id, rating-street (risk rating, high to low, and
                     street address), street (street address) or rating
                     (risk rating, high to low; the default)

needing-ca and specific-ca:
  --rating-from N    the lowest risk rating (default 0)
  --zone NAME        only the trees of this risk zone (default: all zones)
  --divide-by-zone   all zones, one section per zone

specific-ca:
  --action ACTION    the corrective action: its code (3, 03) or description
                     ("Remove Tree"); default: the first of the list

cost-summary:
  --actions LIST     the corrective actions to price, by code: 3,9, or all
                     (the default)
  --rating-from N    the lowest risk rating (default 0)
  --rating-to N      the highest risk rating (default: the highest the risk
                     questions can give)
  --from DATE        the first day of the survey dates (default: 365 days
                     before today)
  --to DATE          the last day (default: today)
  --period NAME      a named period instead of the dates: all-on-file
                     (every tree, also those without a date),
                     current-month, current-quarter, current-year,
                     month-to-date, quarter-to-date, year-to-date,
                     last-month, last-quarter, last-year
  --sort ORDER       cost (highest first; the default), cost-low, rating
                     (highest first), street (then cost) or tree-id

Dates: Jan 05 2007, Jan 5, 2007, 1/5/2007 (month first) or 2007-01-05.
)HELP";

enum class Kind { Reinspection, NeedingCA, SpecificCA, CostSummary };

struct KindInfo {
    Kind kind;
    ReportWindowKind window;
    QStringList options; // the options of this report besides those of every report
};

const std::map<QString, KindInfo>& kinds()
{
    static const std::map<QString, KindInfo> all = {
        {QStringLiteral("reinspection"),
         {Kind::Reinspection, ReportWindowKind::ReinspectionReport,
          {QStringLiteral("year"), QStringLiteral("quarters"), QStringLiteral("rating-from"), QStringLiteral("rating-to"),
           QStringLiteral("zone"), QStringLiteral("sort")}}},
        {QStringLiteral("needing-ca"),
         {Kind::NeedingCA, ReportWindowKind::TreesNeedingCAReport,
          {QStringLiteral("rating-from"), QStringLiteral("zone"), QStringLiteral("divide-by-zone")}}},
        {QStringLiteral("specific-ca"),
         {Kind::SpecificCA, ReportWindowKind::SpecificCAReport,
          {QStringLiteral("rating-from"), QStringLiteral("zone"), QStringLiteral("divide-by-zone"),
           QStringLiteral("action")}}},
        {QStringLiteral("cost-summary"),
         {Kind::CostSummary, ReportWindowKind::CostReport,
          {QStringLiteral("actions"), QStringLiteral("rating-from"), QStringLiteral("rating-to"), QStringLiteral("from"),
           QStringLiteral("to"), QStringLiteral("period"), QStringLiteral("sort")}}},
    };
    return all;
}

// The options some report takes, with their value names ("" for a switch).
const std::vector<std::pair<QString, QString>>& reportOptions()
{
    static const std::vector<std::pair<QString, QString>> all = {
        {QStringLiteral("year"), QStringLiteral("YEAR")},       {QStringLiteral("quarters"), QStringLiteral("LIST")},
        {QStringLiteral("rating-from"), QStringLiteral("N")},   {QStringLiteral("rating-to"), QStringLiteral("N")},
        {QStringLiteral("zone"), QStringLiteral("NAME")},       {QStringLiteral("sort"), QStringLiteral("ORDER")},
        {QStringLiteral("divide-by-zone"), QString()},          {QStringLiteral("action"), QStringLiteral("ACTION")},
        {QStringLiteral("actions"), QStringLiteral("LIST")},    {QStringLiteral("from"), QStringLiteral("DATE")},
        {QStringLiteral("to"), QStringLiteral("DATE")},         {QStringLiteral("period"), QStringLiteral("NAME")},
    };
    return all;
}

QString kindNames()
{
    QStringList names;
    for (const auto& [name, info] : kinds())
        names << name;
    return names.join(QStringLiteral(", "));
}

// The zone of --zone among those the window's list offers: "" for the
// trees without a zone; nothing for all zones.
std::optional<QString> chosenZone(const CommandOptions& options, Database& db)
{
    if (!options.isSet(QStringLiteral("zone")))
        return std::nullopt;
    const QString wanted = zoneKey(options.value(QStringLiteral("zone")).trimmed());
    const QStringList choices = reportZoneChoices(db);
    QStringList titles;
    for (const QString& zone : choices) {
        if (zoneKey(zoneTitle(zone).trimmed()) == wanted)
            return zone;
        titles << zoneTitle(zone);
    }
    wrongUsage(QStringLiteral("There is no risk zone \"%1\"; the zones are: %2")
                   .arg(options.value(QStringLiteral("zone")), titles.join(QStringLiteral(", "))));
}

int reinspectionSort(const CommandOptions& options, int fallback)
{
    if (!options.isSet(QStringLiteral("sort")))
        return fallback;
    static const QStringList names = {QStringLiteral("tree-id"), QStringLiteral("rating-street"),
                                      QStringLiteral("street"), QStringLiteral("rating")};
    const int index = int(names.indexOf(options.value(QStringLiteral("sort")).toLower()));
    if (index < 0)
        wrongUsage(QStringLiteral("--sort takes %1, not \"%2\"")
                       .arg(names.join(QStringLiteral(", ")), options.value(QStringLiteral("sort"))));
    return index;
}

std::array<bool, 4> chosenQuarters(const CommandOptions& options)
{
    std::array<bool, 4> quarters{false, false, false, false};
    static const QRegularExpression quarter(QStringLiteral("^[Qq]?([1-4])$"));
    for (const QString& piece : options.value(QStringLiteral("quarters")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = quarter.match(piece.trimmed());
        if (!m.hasMatch())
            wrongUsage(QStringLiteral("--quarters takes the quarters as 1,2,3,4 or Q1,Q3, not \"%1\"")
                           .arg(options.value(QStringLiteral("quarters"))));
        quarters[size_t(m.captured(1).toInt() - 1)] = true;
    }
    return quarters;
}

ReinspectionOptions reinspectionOptions(const CommandOptions& options, Database& db, const QDate& today)
{
    ReinspectionOptions o = defaultReinspectionOptions(db, today);
    if (options.isSet(QStringLiteral("year")))
        o.yearText = options.value(QStringLiteral("year"));
    if (options.isSet(QStringLiteral("quarters")))
        o.quarters = chosenQuarters(options);
    o.fromText = ratingText(options, QStringLiteral("rating-from"), o.fromText);
    o.toText = ratingText(options, QStringLiteral("rating-to"), o.toText);
    const std::optional<QString> zone = chosenZone(options, db);
    o.allZones = !zone;
    o.zone = zone.value_or(QString());
    o.sort = reinspectionSort(options, o.sort);
    if (const auto problem = reinspectionOptionsProblem(o))
        wrongUsage(problem->text);
    return o;
}

// The corrective action of --action (its code, or its description); the
// first of the list without it.
CorrectiveAction chosenAction(const CommandOptions& options, Database& db)
{
    const std::vector<CorrectiveAction> actions = readCorrectiveActions(db);
    if (actions.empty())
        fail(QStringLiteral("There is no corrective action to report on"));
    if (!options.isSet(QStringLiteral("action")))
        return actions.front();
    const QString wanted = options.value(QStringLiteral("action")).trimmed();
    bool isCode = false;
    const int code = wanted.toInt(&isCode);
    QStringList items;
    for (const CorrectiveAction& action : actions) {
        if (isCode ? action.code == code
                   : action.description.trimmed().compare(wanted, Qt::CaseInsensitive) == 0 ||
                         correctiveActionItem(action).compare(wanted, Qt::CaseInsensitive) == 0)
            return action;
        items << correctiveActionItem(action);
    }
    wrongUsage(QStringLiteral("There is no corrective action \"%1\"; the actions are: %2")
                   .arg(wanted, items.join(QStringLiteral(", "))));
}

ActionReportOptions actionOptions(const CommandOptions& options, Database& db, Kind kind)
{
    ActionReportOptions o;
    o.ratingText = ratingText(options, QStringLiteral("rating-from"), o.ratingText);
    const std::optional<QString> zone = chosenZone(options, db);
    o.allZones = !zone;
    o.zone = zone.value_or(QString());
    if (options.isSet(QStringLiteral("divide-by-zone"))) {
        if (zone)
            wrongUsage(QStringLiteral("--divide-by-zone divides a report of all risk zones; it cannot be given with "
                                      "--zone"));
        o.divideByZone = true;
    }
    if (kind == Kind::SpecificCA) {
        const CorrectiveAction action = chosenAction(options, db);
        o.actionCode = action.code;
        o.actionText = correctiveActionItem(action);
    }
    return o;
}

} // namespace

int reportCommand(const QStringList& arguments, const QString& programDir)
{
    CommandOptions options(QStringLiteral("report"), reportHelp);
    options.add(QStringLiteral("pdf"), QStringLiteral("FILE"));
    options.add(QStringLiteral("overwrite"));
    for (const auto& [name, valueName] : reportOptions())
        options.add(name, valueName);
    if (const int status = options.parse(arguments); status >= 0)
        return status;

    const QStringList positional = options.positional();
    if (positional.isEmpty())
        wrongUsage(QStringLiteral("report needs the kind of report: %1").arg(kindNames()));
    const auto found = kinds().find(positional[0]);
    if (found == kinds().end())
        wrongUsage(QStringLiteral("unknown report \"%1\"; the reports are: %2").arg(positional[0], kindNames()));
    if (positional.size() > 1)
        wrongUsage(QStringLiteral("report takes one kind of report; \"%1\" is one too many").arg(positional[1]));
    const KindInfo& kind = found->second;
    for (const auto& [name, valueName] : reportOptions()) {
        if (options.isSet(name) && !kind.options.contains(name))
            wrongUsage(QStringLiteral("--%1 is not an option of the %2 report").arg(name, found->first));
    }
    if (!options.isSet(QStringLiteral("pdf")) || options.value(QStringLiteral("pdf")).trimmed().isEmpty())
        wrongUsage(QStringLiteral("report needs --pdf FILE: the PDF file to write"));
    const QString pdf = options.value(QStringLiteral("pdf"));
    checkOverwrite(options, pdf);

    const std::unique_ptr<Database> db = options.openDatabase(programDir);
    const QDateTime now = QDateTime::currentDateTime();
    std::function<void(ReportDocument&, Progress&)> build;
    switch (kind.kind) {
    case Kind::Reinspection: {
        const ReinspectionOptions o = reinspectionOptions(options, *db, now.date());
        build = [&, o](ReportDocument& document, Progress& progress) {
            buildReinspectionReport(document, *db, o, now, progress);
        };
        break;
    }
    case Kind::NeedingCA:
    case Kind::SpecificCA: {
        const ActionReportOptions o = actionOptions(options, *db, kind.kind);
        const bool specific = kind.kind == Kind::SpecificCA;
        build = [&, o, specific](ReportDocument& document, Progress& progress) {
            if (specific)
                buildSpecificCAReport(document, *db, o, now, progress);
            else
                buildTreesNeedingCAReport(document, *db, o, now, progress);
        };
        break;
    }
    case Kind::CostSummary: {
        const CostReportOptions o = costSummaryOptions(options, *db, now.date());
        build = [&, o](ReportDocument& document, Progress& progress) {
            // As the options window: no report without a tree to list.
            try {
                buildCostSummary(document, *db, o, now, progress);
            } catch (const ReportNothingToList& nothing) {
                throw CommandEnd(NothingToDo, nothing.text());
            }
        };
        break;
    }
    }

    StreamProgress progress(stderr);
    ReportDocument document;
    if (ReportWindowTraits::of(kind.window).landscapeOnLoad)
        document.SetOrientation(ReportDocument::Landscape);
    // On the paper the user's reports are laid out on in the windows.
    document.SetPaperSize(FileSettings().reportPaper());
    try {
        build(document, progress);
    } catch (const std::invalid_argument& problem) {
        wrongUsage(QString::fromStdString(problem.what()));
    } catch (const DbError& error) {
        fail(QStringLiteral("The report could not be made: %1")
                 .arg(databaseFailure(error.message(), db->path(), options.busyTimeoutMs())));
    }
    try {
        document.SaveAsPdf(pdf, &progress);
    } catch (const ReportError& error) {
        fail(QStringLiteral("%1 - %2\nThe PDF file %3 was not written.")
                 .arg(error.number())
                 .arg(error.description(), QDir::toNativeSeparators(pdf)));
    }
    out(pdf + QStringLiteral(" created!\n") +
        (document.pageCount() == 1 ? QStringLiteral("1 page\n") : QStringLiteral("%1 pages\n").arg(document.pageCount())));
    if (const QString note = undrawableCharactersNote(document); !note.isEmpty())
        err(note + QLatin1Char('\n'));
    return Done;
}

} // namespace kolva::cli
