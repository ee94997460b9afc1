#include "app/refsheet.h"

#include "reports/reportdocument.h"
#include "store/correctiveactions.h"
#include "store/database.h"

namespace kolva {

void writeCorrectiveActionSheet(Database& db, const QString& pdfPath)
{
    std::vector<QStringList> rows;
    const QStringList captions = correctiveActionCaptions();
    for (const CorrectiveAction& action : readCorrectiveActions(db)) {
        const int code = action.code;
        const QString caption = code >= 1 && code <= captions.size() ? captions.at(code - 1) : QString();
        rows.push_back({QString::number(code), caption.section(QStringLiteral(". "), 1), action.description});
    }

    // One portrait page made with the report printer, like every other report.
    ReportDocument sheet;
    sheet.SetOrientation(ReportDocument::Portrait);
    sheet.BeginDocument();
    sheet.SetPageMargins(QStringLiteral("0.75in"), QStringLiteral("0.75in"));
    sheet.SetHeaderStyle(QStringLiteral("Arial"), 20, QColor(0, 0, 160));
    sheet.SetPageHeader(QStringLiteral("|KOLVA Corrective Action Codes"));
    sheet.SetTextSize(11);
    sheet.MoveToLeftMargin();
    sheet.PrintParagraph(QStringLiteral("A tree's corrective actions are recorded as a list of these codes separated by "
                                        "commas, for example 3,9 for Remove Tree and Reduce Height.\r\n\r\n"));
    sheet.BeginTable();
    sheet.SetTableFont(11, false);
    sheet.AddTableRows(QStringLiteral("^+0.8in|<+1.9in|<+4.3in"),
                       QStringLiteral("Code|On the handheld|Corrective Action"), std::move(rows), QColor(224, 224, 224));
    sheet.EndTable();
    sheet.PrintParagraph(QStringLiteral("\r\nThe reports \"Trees Needing Corrective Action\" and \"Trees Needing A "
                                        "Specific Corrective Action\" list the trees by these codes; the cost summary "
                                        "prices each code by the tree's trunk diameter (DBH)."));
    sheet.EndDocument();
    try {
        sheet.SaveAsPdf(pdfPath);
    } catch (const ReportError& error) {
        throw DbError(QStringLiteral("could not write %1: %2").arg(pdfPath, error.description()));
    }
}

} // namespace kolva
