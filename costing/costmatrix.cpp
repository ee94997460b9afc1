#include "costing/costmatrix.h"

#include "costing/costtable.h"
#include "reports/reportcommon.h"
#include "reports/reportdocument.h"
#include "store/correctiveactions.h"

namespace kolva {

std::vector<CostMatrixSection> readCostMatrix(Database& db)
{
    const std::vector<CostRange> ranges = readAllCostRanges(db);
    std::vector<CostMatrixSection> sections;
    for (const CorrectiveAction& action : readCorrectiveActions(db)) {
        CostMatrixSection section{action.description, {}};
        for (const CostRange& range : ranges) {
            if (range.action != action.code)
                continue;
            section.rows.push_back({plainNumber(range.lower), plainNumber(range.upper),
                                    range.cost.isNull() ? QString() : formatDollars(range.cost.toDouble())});
        }
        sections.push_back(std::move(section));
    }
    return sections;
}

QString noCostInformationLine()
{
    return QStringLiteral("*** NO COST INFORMATION FOR THIS CORRECTIVE ACTION *** ");
}

void composeCostMatrix(ReportDocument& document, const std::vector<CostMatrixSection>& sections,
                       const QDateTime& printedAt)
{
    const QString crlf = QStringLiteral("\r\n");
    document.SetOrientation(ReportDocument::Portrait);
    document.BeginDocument();
    document.SetPageMargins(QStringLiteral("1.5in"), QStringLiteral("0.5in"));
    document.SetHeaderStyle(QStringLiteral("Arial"), 12, HeaderBlue);
    document.SetOrientation(ReportDocument::Portrait);
    document.SetPageHeader(QStringLiteral("|Cost Estimate Matrix Report"));
    document.SetPageFooter(printedFooter(printedAt));
    document.SetTextSize(10);
    document.MoveToLeftMargin();
    const QString format = QStringLiteral(">+1.5in|>+1.5in|>+1.5in");
    const QString header = QStringLiteral("DBH Lower Limit|DBH Upper Limit|Estimated Cost");
    for (const CostMatrixSection& section : sections) {
        document.PrintParagraph(section.description + crlf);
        document.PrintParagraph(crlf);
        document.BeginTable();
        if (!section.rows.empty()) {
            document.SetTableContinuation(section.description + QStringLiteral(" (continued)"));
            document.AddTableRows(format, header, section.rows, HeaderShade);
        }
        else
            document.PrintParagraph(noCostInformationLine() + crlf);
        document.EndTable();
        document.PrintParagraph(crlf);
    }
    document.EndDocument();
}

void BuildCostMatrix(ReportDocument& document, Database& db, const QDateTime& printedAt)
{
    composeCostMatrix(document, readCostMatrix(db), printedAt);
}

} // namespace kolva
