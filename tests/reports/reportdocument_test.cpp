#include "reports/reportdocument.h"
#include "tests/reports/pdftext.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

constexpr double Dpi = ReportDocument::Dpi;

std::vector<QStringList> numberedRows(int n, int columns = 3)
{
    std::vector<QStringList> rows;
    for (int i = 1; i <= n; ++i) {
        QStringList row{QString::number(i)};
        for (int c = 1; c < columns; ++c)
            row.append(QStringLiteral("r%1c%2").arg(i).arg(c));
        rows.push_back(row);
    }
    return rows;
}

// A landscape document with a two-line header, a footer and one table.
void composeTable(ReportDocument& doc, std::vector<QStringList> rows)
{
    doc.BeginDocument();
    doc.SetPageMargins("0.75in", "0.5in");
    doc.SetHeaderStyle("Arial", 12, Qt::blue);
    doc.SetOrientation(ReportDocument::Landscape);
    doc.SetPageHeader("Left|Title line\r\nsecond line|Right");
    doc.SetPageFooter("|Printed now|Page %d");
    doc.SetTextSize(7);
    doc.MoveToLeftMargin();
    doc.BeginTable();
    doc.SetTableFont(8, false);
    doc.AddTableRows("^+.55in|<2.0in|>+1in", "No|Name|Amount", std::move(rows), QColor(224, 224, 224));
    doc.EndTable();
    doc.EndDocument();
}

TEST(ColumnFormat, ReadsAlignmentPlusAndWidth)
{
    const auto cols = parseColumnFormat("^+.55in|<2.0in|>+.5in|^0.95in|<+2.25in");
    ASSERT_EQ(cols.size(), 5u);
    const struct {
        Qt::Alignment align;
        bool plus;
        double width;
    } expected[] = {{Qt::AlignHCenter, true, 0.55},
                    {Qt::AlignLeft, false, 2.0},
                    {Qt::AlignRight, true, 0.5},
                    {Qt::AlignHCenter, false, 0.95},
                    {Qt::AlignLeft, true, 2.25}};
    for (size_t i = 0; i < cols.size(); ++i) {
        EXPECT_EQ(cols[i].alignment, expected[i].align) << i;
        EXPECT_EQ(cols[i].plus, expected[i].plus) << i;
        EXPECT_DOUBLE_EQ(cols[i].widthInches, expected[i].width) << i;
    }
}

TEST(ColumnFormat, RefusesWhatItDoesNotUnderstand)
{
    for (const char* bad : {"^+in", "<2.0cm", "^+.5in|", "wide", "<-1in"})
        EXPECT_THROW(parseColumnFormat(bad), std::invalid_argument) << bad;
    EXPECT_DOUBLE_EQ(parseInches("0.750in"), 0.75);
    EXPECT_DOUBLE_EQ(parseInches(".4in"), 0.4);
    EXPECT_DOUBLE_EQ(parseInches("1.5"), 1.5);
}

TEST(ReportDocument, HeaderAndFooterPartsLinesAndPageNumbers)
{
    ReportDocument doc;
    composeTable(doc, numberedRows(120));
    ASSERT_GE(doc.pageCount(), 3);
    for (int page = 1; page <= doc.pageCount(); ++page) {
        EXPECT_EQ(doc.headerLines(page), QStringList({"Left", "Title line", "second line", "Right"}));
        EXPECT_EQ(doc.footerLines(page), QStringList({"Printed now", QStringLiteral("Page %1").arg(page)}));
    }
}

TEST(ReportDocument, EveryPageRepeatsTheShadedHeaderAndNoRowIsSplit)
{
    ReportDocument doc;
    composeTable(doc, numberedRows(150));
    const QRectF body = doc.bodyRect();
    int next = 1;
    for (int page = 1; page <= doc.pageCount(); ++page) {
        const auto rows = doc.tableRows(page);
        ASSERT_GE(rows.size(), 2u) << "page " << page;
        EXPECT_TRUE(rows.front().header) << "page " << page;
        EXPECT_EQ(rows.front().cells, QStringList({"No", "Name", "Amount"}));
        for (size_t i = 1; i < rows.size(); ++i) {
            EXPECT_FALSE(rows[i].header);
            EXPECT_EQ(rows[i].cells.value(0), QString::number(next++)) << "rows in order, each once";
            EXPECT_GE(rows[i].rect.top(), body.top());
            EXPECT_LE(rows[i].rect.bottom(), body.bottom() + 0.01) << "page " << page << " row " << i;
            EXPECT_EQ(rows[i].cellLines.value(1), QStringList({rows[i].cells.value(1)})) << "whole row on the page";
        }
    }
    EXPECT_EQ(next, 151);
}

TEST(ReportDocument, RowsStartAtTheLeftMarginInColumnWidths)
{
    ReportDocument doc;
    composeTable(doc, numberedRows(2));
    const auto rows = doc.tableRows(1);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_DOUBLE_EQ(rows[1].rect.left(), 0.75 * Dpi);
    EXPECT_NEAR(rows[1].rect.width(), (0.55 + 2.0 + 1.0) * Dpi, 0.5);
    EXPECT_GT(doc.pageSize().width(), doc.pageSize().height()) << "landscape";
    EXPECT_DOUBLE_EQ(doc.pageSize().width(), 11 * Dpi);
}

TEST(ReportDocument, APlusColumnAlignsItsTitleLikeItsCells)
{
    ReportDocument doc;
    composeTable(doc, numberedRows(1));
    const auto rows = doc.tableRows(1);
    ASSERT_EQ(rows.size(), 2u);
    // "^+" centre, "<" without plus: title centred, ">+" right.
    EXPECT_EQ(rows[0].alignments, QList<Qt::Alignment>({Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignRight}));
    EXPECT_EQ(rows[1].alignments, QList<Qt::Alignment>({Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignRight}));
}

TEST(ReportDocument, ALongCellWrapsInsideItsColumnAtBlanks)
{
    ReportDocument doc;
    const QString street = "THE VERY LONG AVENUE OF THE NORTHERN HEIGHTS OF THE OLD TOWN";
    composeTable(doc, {{"1", street, "5"}, {"2", "SHORT", "6"}});
    const auto rows = doc.tableRows(1);
    ASSERT_EQ(rows.size(), 3u);
    const QStringList lines = rows[1].cellLines.value(1);
    EXPECT_GE(lines.size(), 2);
    EXPECT_EQ(lines.join(' '), street) << "broken at blanks, nothing lost";
    EXPECT_EQ(rows[1].cellLines.value(0), QStringList({"1"}));
    EXPECT_GT(rows[1].rect.height(), 1.8 * rows[2].rect.height()) << "the row grows with its lines";
    EXPECT_DOUBLE_EQ(rows[2].rect.top(), rows[1].rect.bottom()) << "the next row follows below";
}

TEST(ReportDocument, ARowTallerThanAPageContinuesOnTheNext)
{
    ReportDocument doc;
    QStringList words;
    for (int i = 0; i < 400; ++i)
        words << QStringLiteral("word%1").arg(i);
    composeTable(doc, {{"1", words.join(' '), "x"}, {"2", "after", "y"}});
    ASSERT_GE(doc.pageCount(), 2);
    QStringList printed;
    for (int page = 1; page <= doc.pageCount(); ++page) {
        for (const auto& row : doc.tableRows(page)) {
            if (!row.header && row.cells.value(0) == "1")
                printed.append(row.cellLines.value(1));
        }
    }
    EXPECT_EQ(printed.join(' '), words.join(' '));
    const auto last = doc.tableRows(doc.pageCount());
    EXPECT_TRUE(last.front().header);
    EXPECT_EQ(last.back().cells.value(0), "2");
}

TEST(ReportDocument, ParagraphLinesEndAtCrLf)
{
    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"Heading\r\n\r\n", {"Heading", ""}},
        {"\r\n", {""}},
        {"one\r\ntwo", {"one", "two"}},
        {"plain", {"plain"}},
    };
    for (const auto& c : cases) {
        ReportDocument doc;
        doc.BeginDocument();
        doc.PrintParagraph(c.text);
        doc.EndDocument();
        EXPECT_EQ(doc.paragraphLines(1), c.lines) << c.text;
    }
}

TEST(ReportDocument, ParagraphsAndTablesFollowEachOtherDownThePage)
{
    ReportDocument doc;
    doc.BeginDocument();
    doc.SetPageHeader("|Title");
    doc.PrintParagraph("Zone A (1 Tree(s) )\r\n");
    doc.BeginTable();
    doc.AddTableRows("<1in", "T", {{"a"}}, Qt::gray);
    doc.EndTable();
    doc.MovePrintPositionDown(100);
    doc.PrintParagraph("Zone B");
    doc.EndDocument();
    EXPECT_EQ(doc.pageTexts(1), QStringList({"Title", "Zone A (1 Tree(s) )", "T", "a", "Zone B"}));
    const auto rows = doc.tableRows(1);
    EXPECT_GT(rows.front().rect.top(), doc.bodyRect().top());
}

TEST(ReportDocument, AnEmptyReportIsOnePageWithHeaderAndFooter)
{
    ReportDocument doc;
    EXPECT_EQ(doc.pageCount(), 0);
    EXPECT_FALSE(doc.isComplete());
    composeTable(doc, {});
    EXPECT_TRUE(doc.isComplete());
    EXPECT_EQ(doc.pageCount(), 1);
    EXPECT_EQ(doc.pageTexts(1), QStringList({"Left", "Title line", "second line", "Right", "No", "Name", "Amount",
                                             "Printed now", "Page 1"}));
}

TEST(ReportDocument, BeginDocumentDiscardsEarlierPages)
{
    ReportDocument doc;
    composeTable(doc, numberedRows(200));
    ASSERT_GT(doc.pageCount(), 2);
    doc.BeginDocument();
    EXPECT_EQ(doc.pageCount(), 0);
    EXPECT_FALSE(doc.isComplete());
    doc.PrintParagraph("again");
    doc.EndDocument();
    EXPECT_EQ(doc.pageCount(), 1);
    EXPECT_EQ(doc.paragraphLines(1), QStringList({"again"}));
}

TEST(ReportDocument, PortraitPagesAreUsLetter)
{
    ReportDocument doc;
    doc.SetOrientation(ReportDocument::Portrait);
    doc.BeginDocument();
    doc.EndDocument();
    EXPECT_DOUBLE_EQ(doc.pageSize().width(), 8.5 * Dpi);
    EXPECT_DOUBLE_EQ(doc.pageSize().height(), 11 * Dpi);
    EXPECT_EQ(doc.pageLayout().orientation(), QPageLayout::Portrait);
}

TEST(ReportDocument, SavesEveryPageAsPdf)
{
    QTemporaryDir dir;
    ReportDocument doc;
    composeTable(doc, numberedRows(120));
    const QString path = dir.filePath("table.pdf");
    doc.SaveAsPdf(path);
    EXPECT_EQ(pdfPageCount(path), doc.pageCount());
    EXPECT_EQ(pdfPageSize(path), "792 x 612 pts (letter)");
    const QStringList pages = pdfPages(path);
    ASSERT_EQ(pages.size(), doc.pageCount());
    for (int page = 1; page <= doc.pageCount(); ++page) {
        const QString& text = pages.at(page - 1);
        EXPECT_TRUE(text.contains("Title line")) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1").arg(page))) << page;
        EXPECT_TRUE(text.contains("Amount")) << "header row on page " << page;
        const auto rows = doc.tableRows(page);
        EXPECT_TRUE(text.contains(rows.back().cells.value(1))) << page;
    }
}

TEST(ReportDocument, SavingReplacesAnOldFileAndReportsAFolderThatIsNotThere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.pdf");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    ReportDocument doc;
    composeTable(doc, numberedRows(3));
    doc.SaveAsPdf(path);
    EXPECT_TRUE(pdfText(path).contains("r3c1"));

    try {
        doc.SaveAsPdf(dir.filePath("missing/folder/x.pdf"));
        FAIL() << "no error";
    } catch (const ReportError& error) {
        EXPECT_NE(error.number(), 0);
        EXPECT_FALSE(error.description().isEmpty());
    }
}

} // namespace
