#include "reports/reportdocument.h"
#include "tests/reports/pdftext.h"
#include "tests/support/fulldisk.h"
#include "tests/support/oddentries.h"
#include "tests/support/progressrecorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

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
    doc.SetPageFooter("|Printed now|Page %d of %t");
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
        EXPECT_EQ(doc.footerLines(page),
                  QStringList({"Printed now", QStringLiteral("Page %1 of %2").arg(page).arg(doc.pageCount())}));
    }
}

TEST(ReportDocument, AUsersTextInAHeaderPrintsAsWritten)
{
    const QString zone = QStringLiteral("PARK|EAST 100%d %t %% %|");
    QTemporaryDir dir;
    ReportDocument doc;
    doc.BeginDocument();
    doc.SetPageHeader("|Zone: " + headerLiteral(zone) + "\r\nsecond|Page %d");
    doc.SetPageFooter(headerLiteral(zone) + "|%d%%|");
    doc.AddTableRows("<1in", "No", numberedRows(100, 1), Qt::gray);
    doc.EndDocument();
    ASSERT_GE(doc.pageCount(), 2);
    for (int page = 1; page <= 2; ++page) {
        EXPECT_EQ(doc.headerLines(page), QStringList({"Zone: " + zone, "second", QStringLiteral("Page %1").arg(page)}));
        EXPECT_EQ(doc.footerLines(page), QStringList({zone, QStringLiteral("%1%").arg(page)}));
    }
    EXPECT_EQ(doc.documentTitle(), "Zone: " + zone + " second Page");
    const QString path = dir.filePath("zone.pdf");
    doc.SaveAsPdf(path);
    EXPECT_EQ(pdfInfo(path, "Title"), "Zone: " + zone + " second Page");
    EXPECT_TRUE(pdfPages(path).value(1).contains("Zone: " + zone));
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
                                             "Printed now", "Page 1 of 1"}));
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
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(page).arg(doc.pageCount()))) << page;
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

TEST(ReportDocument, SavingRefusesALinkPipeOrFolderInTheFilesPlace)
{
    ReportDocument doc;
    composeTable(doc, numberedRows(3));
    for (const auto& odd : oddEntryCases) {
        SCOPED_TRACE(odd.says);
        QTemporaryDir dir, elsewhere;
        const QString path = dir.filePath("report.pdf");
        const QString outside = elsewhere.filePath("KOLVA.MDB");
        makeOddEntry(odd.kind, path, outside);
        try {
            doc.SaveAsPdf(path);
            ADD_FAILURE() << "saved";
        } catch (const ReportError& error) {
            EXPECT_EQ(error.description(), QString("report.pdf ") + odd.says);
            EXPECT_NE(error.number(), 0);
        }
        expectOddEntryKept(odd.kind, path, outside);
        EXPECT_TRUE(leftTemporaryFiles(dir.path()).isEmpty());
    }
}

TEST(ReportDocument, AFullDiskSaysSoAndKeepsTheOldFile)
{
    const QString folder = fullDiskFolder();
    if (folder.isEmpty())
        return;
    const QString path = folder + "/report.pdf";
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    fillFileSystem(folder);
    ReportDocument doc;
    composeTable(doc, numberedRows(400));
    try {
        doc.SaveAsPdf(path);
        ADD_FAILURE() << "saved";
    } catch (const ReportError& error) {
        EXPECT_EQ(error.description(), "Could not write report.pdf: No space left on device");
        EXPECT_EQ(error.number(), ENOSPC);
    }
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old content");
    EXPECT_TRUE(leftTemporaryFiles(folder).isEmpty());
}

// --- Row store ---------------------------------------------------------------------

TEST(RowStore, KeepsRowsInAFileBeyondItsLimitAndReadsThemAnywhere)
{
    RowStore store(4096);
    for (int i = 0; i < 1000; ++i)
        store.append({QString::number(i), QStringLiteral("STREET %1").arg(i), i % 7 ? QString() : QStringLiteral("a\r\nb")});
    EXPECT_TRUE(store.spilled());
    EXPECT_LT(store.memoryBytes(), 16 * 1024);
    ASSERT_EQ(store.size(), 1000);
    for (const int i : {0, 63, 64, 150, 637, 999}) {
        const QStringList row = store.row(i);
        EXPECT_EQ(row.value(0), QString::number(i));
        EXPECT_EQ(row.value(1), QStringLiteral("STREET %1").arg(i));
    }
    RowStore::Reader reader(store, 500);
    QStringList row;
    int next = 500;
    while (reader.next(row))
        EXPECT_EQ(row.value(0), QString::number(next++));
    EXPECT_EQ(next, 1000);
    EXPECT_EQ(store.row(7).value(2), "a\r\nb");
    EXPECT_EQ(store.longestNumbers(), QStringList({"100", "", ""}));
    EXPECT_TRUE(store.inWindows1252());
    store.append({QStringLiteral("\u0141\u00f3d\u017a")});
    EXPECT_FALSE(store.inWindows1252());
}

TEST(RowStore, NumbersAreDigitsWithSignDecimalsAndThousands)
{
    for (const char* number : {"0", "12", "-3", "+4", "1234567890", "1,234", "12,345,678.50", "$1,200.00", "3.5"})
        EXPECT_TRUE(isNumberText(QString::fromLatin1(number))) << number;
    for (const char* text : {"", "-", "3,9", "1,2,3", "12A", "1.", ".5", "1,2345", "12 34", "1.2.3", "1234,567"})
        EXPECT_FALSE(isNumberText(QString::fromLatin1(text))) << text;
}

// --- Layout -----------------------------------------------------------------------

// A landscape page 9.75 in wide between the margins.
void beginLandscape(ReportDocument& doc)
{
    doc.BeginDocument();
    doc.SetPageMargins("0.75in", "0.5in");
    doc.SetOrientation(ReportDocument::Landscape);
    doc.SetPageHeader("|Title");
    doc.SetPageFooter("|Page %d of %t");
}

TEST(ReportDocument, AWideTableIsNarrowedToTheMarginsButNumbersKeepTheirWidth)
{
    ReportDocument doc;
    beginLandscape(doc);
    doc.AddTableRows("^+.55in|<6in|<4in", "Tree ID|Street|Species",
                     {{"1234567890", "ELM", "OAK"}, {"-2147483648", "X", "Y"}, {"7", "x", "z"}}, Qt::gray);
    doc.EndDocument();
    const auto rows = doc.tableRows(1);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_NEAR(rows[1].rect.width(), 9.75 * Dpi, 0.5) << "fits between the margins";
    const std::vector<double>& x = rows[1].columnLefts;
    EXPECT_NEAR((x[2] - x[1]) / (rows[1].rect.right() - x[2]), 6.0 / 4.0, 1e-9) << "in proportion";
    EXPECT_GT(x[1] - x[0], 0.55 * Dpi) << "wider than asked for its longest number";
    EXPECT_EQ(rows[1].cellLines.value(0), QStringList({"1234567890"}));
    EXPECT_EQ(rows[2].cellLines.value(0), QStringList({"-2147483648"}));
    EXPECT_DOUBLE_EQ(rows[1].rect.height(), rows[3].rect.height()) << "one line each";

    // A table that fits keeps its widths.
    ReportDocument narrow;
    beginLandscape(narrow);
    narrow.AddTableRows("^+.55in|<2in", "No|Street", std::vector<QStringList>{{"1", "ELM"}}, Qt::gray);
    narrow.EndDocument();
    EXPECT_NEAR(narrow.tableRows(1)[1].rect.width(), 2.55 * Dpi, 0.5);
}

TEST(ReportDocument, AHeadingStaysWithItsTableAndAContinuedTableRepeatsIt)
{
    ReportDocument doc;
    beginLandscape(doc);
    doc.SetTextSize(10);
    int lines = 0;
    while (doc.pageCount() <= 1) { // fill the first page to its last line or two
        doc.PrintParagraph(QStringLiteral("line %1").arg(++lines));
    }
    // The line that opened page 2 was one too many: start again one short.
    beginLandscape(doc);
    doc.SetTextSize(10);
    // Room for two lines: the blank one and the heading, not the table.
    for (int i = 1; i < lines - 2; ++i)
        doc.PrintParagraph(QStringLiteral("line %1").arg(i));
    doc.PrintParagraph("\r\nRisk Zone: PARKS (120 Tree(s) )");
    doc.SetTableContinuation("Risk Zone: PARKS (continued)");
    doc.AddTableRows("^1in|<3in", "No|Street", numberedRows(120, 2), Qt::gray);
    doc.EndDocument();
    ASSERT_GE(doc.pageCount(), 3);
    EXPECT_TRUE(doc.tableRows(1).empty()) << "no header row at the foot of page 1";
    EXPECT_EQ(doc.paragraphLines(1).constLast(), QStringLiteral("line %1").arg(lines - 3));
    EXPECT_EQ(doc.paragraphLines(2).value(0), "Risk Zone: PARKS (120 Tree(s) )") << "without the blank line before it";
    const auto second = doc.tableRows(2);
    ASSERT_GE(second.size(), 2u);
    EXPECT_TRUE(second[0].header);
    EXPECT_EQ(second[1].cells.value(0), "1");
    for (int page = 3; page <= doc.pageCount(); ++page) {
        EXPECT_EQ(doc.paragraphLines(page), QStringList({"Risk Zone: PARKS (continued)"})) << page;
        EXPECT_TRUE(doc.tableRows(page).front().header) << page;
    }
    EXPECT_EQ(doc.pageTexts(3).value(1), "Risk Zone: PARKS (continued)") << "above the header row";
}

TEST(ReportDocument, AMegabyteWordBreaksIntoEqualLinesOfItsColumn)
{
    const QString word(1024 * 1024, QLatin1Char('W'));
    ReportDocument doc;
    beginLandscape(doc);
    doc.AddTableRows("<1in|<2in", "Street|Note", {{word, "after"}}, Qt::gray);
    doc.EndDocument();
    ASSERT_GT(doc.pageCount(), 100);
    QString printed;
    int lineLength = 0;
    for (const int page : {1, 2}) {
        const auto rows = doc.tableRows(page);
        ASSERT_EQ(rows.size(), 2u);
        const QStringList lines = rows[1].cellLines.value(0);
        ASSERT_GT(lines.size(), 10);
        if (!lineLength)
            lineLength = int(lines.front().size());
        for (const QString& line : lines) {
            EXPECT_EQ(line.size(), lineLength);
            printed += line;
        }
    }
    EXPECT_TRUE(word.startsWith(printed));
    EXPECT_EQ(doc.tableRows(doc.pageCount()).back().cells.value(1), "after");
}

TEST(ReportDocument, LongTextBreaksAtBlanksThenCommasThenAnywhere)
{
    ReportDocument doc;
    beginLandscape(doc);
    doc.AddTableRows("<0.6in|<0.6in", "A|B", std::vector<QStringList>{{"1,2,3,4,5,6,7,8,9,10,11", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"}}, Qt::gray);
    doc.EndDocument();
    const auto row = doc.tableRows(1).at(1);
    const QStringList list = row.cellLines.value(0), letters = row.cellLines.value(1);
    ASSERT_GE(list.size(), 2);
    EXPECT_EQ(list.join(""), "1,2,3,4,5,6,7,8,9,10,11");
    for (int i = 0; i + 1 < list.size(); ++i)
        EXPECT_TRUE(list.at(i).endsWith(',')) << list.at(i).toStdString();
    ASSERT_GE(letters.size(), 2);
    EXPECT_EQ(letters.join(""), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

// --- PDF -----------------------------------------------------------------------------

TEST(ReportDocument, ThePdfHasTheReportsTitleAndTextBeyondTheCodePageFallsBackToQt)
{
    QTemporaryDir dir;
    const struct {
        QString street;
        bool standard;
    } cases[] = {{QStringLiteral("CAF\u00c9 \u2013 ST"), true}, {QStringLiteral("\u0141\u00d3D\u0179 ST"), false}};
    for (const auto& c : cases) {
        ReportDocument doc;
        composeTable(doc, {{"1", c.street, "5"}});
        EXPECT_EQ(doc.savesWithStandardFonts(), c.standard);
        EXPECT_EQ(doc.documentTitle(), "Left Title line second line Right");
        doc.SetDocumentTitle("Reinspection Report FOR 2009");
        const QString path = dir.filePath(c.standard ? "standard.pdf" : "qt.pdf");
        doc.SaveAsPdf(path);
        EXPECT_EQ(pdfInfo(path, "Title"), "Reinspection Report FOR 2009");
        EXPECT_TRUE(pdfText(path).contains(c.street)) << c.standard;
    }
}

TEST(ReportDocument, CellsWithBackslashesPercentAmpersandsAndQuotesReachThePdfAsWritten)
{
    // The characters a PDF string, a header format or markup could take for
    // their own, in cells and in the title; with a character beyond the code
    // page the same cells go through Qt's PDF writer.
    const QStringList cells{QStringLiteral("C:\\TREES\\OAK (1)"), QStringLiteral("50% & <b>100%</b>"),
                            QStringLiteral("\"quoted\" 'single' ends\\"), QStringLiteral("a\\(b\\) \\\\ %d %t |")};
    const QString title = QStringLiteral("Zone \\ (East) & 5% \"A\"");
    QTemporaryDir dir;
    for (const bool standard : {true, false}) {
        ReportDocument doc;
        doc.BeginDocument();
        doc.SetPageHeader(QStringLiteral("|Odd characters"));
        doc.AddTableRows("<3.5in|<3in", "Cell|Next",
                         {{cells[0], standard ? "x" : QStringLiteral("\u0141")}, {cells[1], "x"}, {cells[2], "x"},
                          {cells[3], "x"}},
                         Qt::gray);
        doc.EndDocument();
        doc.SetDocumentTitle(title);
        ASSERT_EQ(doc.savesWithStandardFonts(), standard);
        const QString path = dir.filePath(standard ? "standard.pdf" : "qt.pdf");
        doc.SaveAsPdf(path);
        const QString text = pdfText(path);
        for (const QString& cell : cells)
            EXPECT_TRUE(text.contains(cell)) << cell.toStdString() << " standard " << standard << "\n"
                                             << text.toStdString();
        EXPECT_EQ(pdfInfo(path, "Title"), title) << standard;
    }
}

TEST(ReportDocument, ChineseJapaneseAndKoreanAreDrawnWithAnInstalledFont)
{
    // (None that pdftotext reads back as another character of the same
    // glyph, as it gives the tree U+6728 as the radical U+2F4A.)
    const QString note = QString::fromUtf8("\u6771\u4eac \u685c\u306e\u8449 \u5317\u4eac\u8def \ud55c\uad6d");
    QTemporaryDir dir;
    ReportDocument doc;
    composeTable(doc, {{"1", note, "5"}});
    EXPECT_TRUE(doc.undrawableCharacters().empty());
    EXPECT_EQ(undrawableCharactersNote(doc), "");
    const QString path = dir.filePath("cjk.pdf");
    doc.SaveAsPdf(path);
    EXPECT_TRUE(pdfFonts(path).contains("CJK")) << pdfFonts(path).toStdString();
    EXPECT_TRUE(pdfText(path).contains(note));
}

TEST(ReportDocument, CharactersNoFontHasAreNamedWithTheFirstPageTheyAreOn)
{
    // A private-use character and a number Unicode leaves unassigned; the
    // zero-width space is not drawn at all.
    const QString privateUse = QString::fromUcs4(U"\U0010FFFD"), unassigned = QString::fromUtf8("\u0378");
    ReportDocument doc;
    doc.BeginDocument();
    doc.SetPageHeader("|Zone " + privateUse);
    std::vector<QStringList> rows = numberedRows(150, 2);
    rows[99][1] = "B" + unassigned + QString::fromUtf8("\u200b");
    rows[140][1] = unassigned + privateUse;
    doc.AddTableRows("<1in|<2in", "No|Note", std::move(rows), Qt::gray);
    doc.EndDocument();
    int pageOfRow100 = 0;
    for (int page = 1; page <= doc.pageCount() && !pageOfRow100; ++page) {
        for (const auto& row : doc.tableRows(page)) {
            if (!row.header && row.cells.value(0) == "100")
                pageOfRow100 = page;
        }
    }
    ASSERT_GT(pageOfRow100, 1);
    const auto missing = doc.undrawableCharacters();
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0].code, 0x10FFFDu);
    EXPECT_EQ(missing[0].page, 1);
    EXPECT_EQ(missing[1].code, 0x378u);
    EXPECT_EQ(missing[1].page, pageOfRow100);
    EXPECT_EQ(undrawableCharactersNote(doc),
              QStringLiteral("No installed font has 2 of this report's characters; they are printed as empty boxes: "
                             "U+10FFFD (page 1), U+0378 (page %1).")
                  .arg(pageOfRow100));
    EXPECT_EQ(undrawableCharactersNote(doc, 1),
              "No installed font has 2 of this report's characters; they are printed as empty boxes: "
              "U+10FFFD (page 1) and 1 more.");
    doc.BeginDocument();
    doc.SetPageHeader("|Zone");
    doc.EndDocument();
    EXPECT_TRUE(doc.undrawableCharacters().empty()) << "a new document starts afresh";
}

TEST(ReportDocument, CancellingASaveLeavesNoFileAndKeepsTheOldOne)
{
    QTemporaryDir dir;
    for (const QString& street : {QStringLiteral("ELM"), QStringLiteral("\u0141\u00d3D\u0179")}) {
        ReportDocument doc;
        std::vector<QStringList> rows;
        for (int i = 1; i <= 3000; ++i)
            rows.push_back({QString::number(i), street, "x"});
        composeTable(doc, std::move(rows));
        const QString path = dir.filePath("kept.pdf");
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        test::ProgressRecorder progress;
        progress.cancelAt("Writing the PDF file", 1);
        EXPECT_THROW(doc.SaveAsPdf(path, &progress), ReportCancelled);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"kept.pdf"})) << "no partial file";
        QFile kept(path);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), "old");
        EXPECT_TRUE(progress.stages().front().cancellable);
    }
}

TEST(ReportDocument, TheLayoutStopsWhenCancelled)
{
    ReportDocument doc;
    test::ProgressRecorder progress;
    progress.beginStage("Laying out the pages", 5000);
    progress.cancelAt("Laying out", 1000);
    doc.setProgress(&progress);
    EXPECT_THROW(composeTable(doc, numberedRows(5000)), ReportCancelled);
    EXPECT_LT(progress.stages().back().lastDone, 2000);
}

TEST(ReportDocument, PagesCanBeReadWhileThePdfIsWritten)
{
    QTemporaryDir dir;
    ReportDocument doc;
    composeTable(doc, numberedRows(4000));
    const QString path = dir.filePath("both.pdf");
    std::thread saving([&] { doc.SaveAsPdf(path); });
    int rows = 0;
    for (int page = 1; page <= doc.pageCount(); ++page)
        rows += int(doc.tableRows(page).size()) - 1;
    saving.join();
    EXPECT_EQ(rows, 4000);
    const QStringList pages = pdfPages(path);
    ASSERT_EQ(pages.size(), doc.pageCount());
    EXPECT_TRUE(pages.constLast().contains("r4000c2"));
}

} // namespace
