#pragma once
// The cost estimate matrix: the whole cost table, one section per corrective
// action in code order, its description and a table of its DBH ranges and
// costs, or a line saying it has none.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace kolva {

class Database;
class ReportDocument;

struct CostMatrixSection {
    QString description;
    // Lower limit, upper limit, cost ("$1,234.50"), by lower limit.
    std::vector<QStringList> rows;
};

// One section per corrective action, in code order. Throws DbError.
std::vector<CostMatrixSection> readCostMatrix(Database& db);

// The line of an action without cost rows.
QString noCostInformationLine();

// Composes the matrix from its sections.
void composeCostMatrix(ReportDocument& document, const std::vector<CostMatrixSection>& sections,
                       const QDateTime& printedAt);

// Reads and composes.
void BuildCostMatrix(ReportDocument& document, Database& db, const QDateTime& printedAt);

} // namespace kolva
