#pragma once
// The CSV export: every survey record evaluated in a period, one line each,
// 44 items in a fixed order under a header line, for a spreadsheet.
//
// Items are separated by "," and every line ends with CR LF. Texts are in
// double quotes (a quote inside doubled), numbers bare with "." as the
// decimal point, a missing value is #NULL#; the evaluation date is the text
// MM/DD/YYYY, an empty text for a record without one; an empty latitude or
// longitude is a quoted blank. The file is in the system's code page (UTF-8
// on all but Windows) without a byte-order mark.
//
// Written for a spreadsheet, the file is UTF-8 with a byte-order mark, by
// which spreadsheet programs recognise it, and a text that would start a
// formula (=, +, -, @, a tab or a carriage return first) is written after an
// apostrophe, so that opening the file never runs what a text holds.
//
// Nothing here touches a widget: the export window runs it on a worker
// thread, and a command line can run it without a display.

#include "costing/period.h"
#include "store/errors.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace kolva {

class Database;
class Progress;

struct CsvExportOptions {
    DatePeriod period;
    QString path; // the file to write
    // "All on File": every record, those without a date included; the period
    // is not read.
    bool everyRecord = false;
    // UTF-8 with a byte-order mark, no text read as a formula.
    bool forSpreadsheet = false;
    // Instead of a file: the device the lines are written to as they are
    // made (standard output). Nothing is written when no record is found.
    QIODevice* stream = nullptr;
};

// The export could not be written: the system's error number and the reason
// in words ("Could not write trees.csv: No space left on device").
using CsvExportError = FileError;

struct CsvExportResult {
    qint64 records = 0;     // lines written below the header; 0: no file written
    bool cancelled = false; // stopped by the user; no file written
    qint64 undated = 0;     // of the records, those written without a date
};

// What the closing message adds about the records written without a date;
// empty when there were none.
QString undatedRecordsNote(qint64 undated);

// The header line's 44 titles, in order.
QStringList surveyCsvTitles();
// The survey table's column behind each of the 44 items, in the same order
// (the GIS export writes the same columns).
QStringList surveyCsvFields();

// Writes the records of the period to options.path (or options.stream). The file is written
// under a temporary name and put in place only when complete, so that a
// failure or a cancel leaves an existing file as it was; a link, folder, pipe
// or device in the file's place is refused and left alone. When the period
// holds no record nothing is written. Throws CsvExportError for a file that
// cannot be written, DbError for the database.
CsvExportResult exportSurveyCsv(Database& db, const CsvExportOptions& options, Progress& progress);

} // namespace kolva
