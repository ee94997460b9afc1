#pragma once
// The corrective action code reference sheet, KOLVA_Corrective_Actions.PDF:
// one page with every code of _tblCorrAction, for the office and the crews.

#include <QString>

namespace kolva {

class Database;

// Writes the sheet from the codes in db; throws DbError on a database or file failure.
void writeCorrectiveActionSheet(Database& db, const QString& pdfPath);

} // namespace kolva
