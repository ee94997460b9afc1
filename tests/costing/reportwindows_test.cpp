// The cost summary options and report window, the cost matrix report window
// and the menu items that open the costing windows.

#include "costing/costtable.h"
#include "costing/frmCostReportOptions.h"
#include "costing/frmEnterCosts.h"
#include "costing/periodblock.h"
#include "reports/reportdocument.h"
#include "reports/reportwindow.h"
#include "tests/app/apptest.h"
#include "tests/reports/pdftext.h"
#include "tests/reports/surveydata.h"
#include "reports/reportpreview.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace kolva;
using namespace kolva::test;

namespace {

// A click near the left end, where a check box or option button has its box.
void click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

bool waitBuilt(ReportPreviewWindow* window)
{
    return window && QTest::qWaitFor([window] { return window->isBuilt(); }, 20000);
}

class CostReportOptionsTest : public ::testing::Test {
protected:
    TestContext t;
    std::unique_ptr<frmCostReportOptions> window;

    void SetUp() override
    {
        t.clock.current = QDateTime(QDate(2007, 6, 1), QTime(9, 30));
        addCostRange(*t.db, 3, 6, 24, 450);
        addTree(*t.db, {.treeId = 1, .evaluated = "2007-05-10 09:00:00", .rating = 5, .actions = "3"});
        addTree(*t.db, {.treeId = 2, .evaluated = "2007-05-11 09:00:00", .rating = 9, .actions = "3,9"});
        window = std::make_unique<frmCostReportOptions>(t.context());
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    ~CostReportOptionsTest() override
    {
        window.reset();
        settle();
    }
};

TEST_F(CostReportOptionsTest, OpensWithEveryActionTheWholeRatingRangeAndTheLastYear)
{
    EXPECT_EQ(window->windowTitle(), "Cost Report Options");
    for (int code = 1; code <= 11; ++code)
        EXPECT_TRUE(window->chkCA(code)->isChecked()) << code;
    EXPECT_EQ(window->chkCA(1)->text(), "Move Target");
    EXPECT_EQ(window->chkCA(11)->text(), "Cnvt/Wildlife");
    EXPECT_EQ(window->txtRiskFrom()->text(), "0");
    EXPECT_EQ(window->txtRiskTo()->text(), "13") << "the highest the supplied risk questions give";
    EXPECT_TRUE(window->optSort(0)->isChecked());
    EXPECT_EQ(window->optSort(3)->text(), "Street + Cost (High to Low)");
    EXPECT_EQ(window->periodBlock()->txtBegin()->text(), "Jun 01 2006");
    EXPECT_EQ(window->cmdDoIt()->text(), "&Print Report");

    click(window->cmdNone());
    for (int code = 1; code <= 11; ++code)
        EXPECT_FALSE(window->chkCA(code)->isChecked()) << code;
    click(window->cmdAll());
    EXPECT_TRUE(window->chkCA(7)->isChecked());
}

TEST(CostReportOptionsUnreadable, SaysWhenTheHighestRatingCannotBeReadAndOffersTheDefault)
{
    TestContext t;
    t.db->exec("ALTER TABLE Risk_Rating RENAME TO Risk_Rating_Elsewhere");
    t.prompter.answer(MsgAnswer::Ok);
    frmCostReportOptions window(t.context());
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.caption, "Error");
    EXPECT_TRUE(t.prompter.last().message.text.contains("The highest risk rating could not be read"))
        << t.prompter.last().message.text.toStdString();
    EXPECT_EQ(window.txtRiskTo()->text(), "12");
}

TEST_F(CostReportOptionsTest, RefusesOptionsThatMakeNoReportInOrder)
{
    const auto tryWith = [&](const std::function<void()>& set, const QString& message, const QString& caption) {
        set();
        t.prompter.answer(MsgAnswer::Ok);
        click(window->cmdDoIt());
        ASSERT_EQ(t.prompter.prompts().size(), 1u) << message.toStdString();
        EXPECT_EQ(t.prompter.last().message.text, message);
        EXPECT_EQ(t.prompter.last().message.caption, caption);
        EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);
        EXPECT_EQ(window->reportWindow(), nullptr);
        t.prompter.clear();
    };
    tryWith([&] { click(window->cmdNone()); }, "Please select at least ONE Corrective Action to include in the report",
            "Error");
    click(window->chkCA(9));
    tryWith([&] { window->txtRiskTo()->clear(); }, "Please enter a Risk Rating range", "Error");
    EXPECT_TRUE(window->txtRiskFrom()->hasFocus());
    tryWith([&] { window->txtRiskTo()->setText("4"); window->txtRiskFrom()->setText("5"); },
            "There is a problem with the Risk Rating range", "Error");
    tryWith([&] { window->txtRiskTo()->setText("5"); window->periodBlock()->txtEnd()->clear(); },
            "You must select a date range", "Error");

    // Whether any tree is in the period is learnt by the report's worker,
    // not on the click: the report says so and closes, back to the options.
    window->periodBlock()->txtEnd()->setText("Jan 31 2007");
    t.prompter.answer(MsgAnswer::Ok);
    click(window->cmdDoIt());
    QPointer<ReportPreviewWindow> report = window->reportWindow();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(t.prompter.prompts().empty()) << "nothing counted on the click";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !t.prompter.prompts().empty(); }, 20000));
    EXPECT_EQ(t.prompter.last().message.text, "There are no trees which meet your selection criteria");
    EXPECT_EQ(t.prompter.last().message.caption, "No Data");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(QTest::qWaitFor([&] { return report.isNull(); }, 5000)) << "the empty report closes";
    EXPECT_EQ(window->reportWindow(), nullptr);
}

TEST_F(CostReportOptionsTest, OpensTheReportBesideItAndOnlyOnce)
{
    window->txtRiskFrom()->setText("5");
    window->txtRiskTo()->setText("5");
    click(window->optSort(4));
    click(window->cmdDoIt());
    ReportPreviewWindow* report = window->reportWindow();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->objectName(), "frmCostReport");
    EXPECT_EQ(report->windowTitle(), "Cost Report");
    EXPECT_FALSE(report->isModal()) << "the options stay usable";
    ASSERT_TRUE(waitBuilt(report));
    const ReportDocument& document = report->document();
    EXPECT_EQ(document.headerLines(1).value(1), "Sorted by Tree ID");
    const auto rows = document.tableRows(1);
    ASSERT_EQ(rows.size(), 2u) << "the header and the tree rated 5";
    EXPECT_EQ(rows[1].cells.at(0), "1");
    EXPECT_EQ(rows[1].cells.at(7), "$450.00");
    EXPECT_TRUE(report->cmdPDF()->isEnabled());

    click(window->cmdDoIt());
    EXPECT_EQ(window->reportWindow(), report) << "brought forward, not built again";
    EXPECT_EQ(report->buildCount(), 1);
    click(report->cmdExit());
    settle();
    EXPECT_EQ(window->reportWindow(), nullptr);

    // Closing the options closes an open report too.
    click(window->cmdDoIt());
    ASSERT_NE(window->reportWindow(), nullptr);
    click(window->cmdExit());
    settle();
    EXPECT_EQ(openWindow("frmCostReport"), nullptr);
}

TEST_F(CostReportOptionsTest, WithoutPreviewTheReportGoesStraightToThePrinter)
{
    click(window->chkPreview());
    ASSERT_FALSE(window->chkPreview()->isChecked());
    click(window->cmdDoIt());
    QPointer<ReportPreviewWindow> report = window->reportWindow();
    ASSERT_NE(report, nullptr);
    const QString printed = t.dir.filePath("printed.pdf");
    int asked = 0;
    report->VSPrinter1()->setPrintAsker([&](QWidget*, QPrinter& printer, int pages) {
        ++asked;
        EXPECT_EQ(pages, 1);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return report.isNull(); }, 20000)) << "closes once printed";
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(openWindow("frmCostReport"), nullptr) << "no preview shown";
    ASSERT_TRUE(QFile::exists(printed));
    EXPECT_TRUE(pdfText(printed).contains("$450.00"));

    // Cancelled in the print dialog: nothing printed, nothing left open.
    QFile::remove(printed);
    click(window->cmdDoIt());
    report = window->reportWindow();
    ASSERT_NE(report, nullptr);
    report->VSPrinter1()->setPrintAsker([](QWidget*, QPrinter&, int) { return false; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return report.isNull(); }, 20000));
    EXPECT_FALSE(QFile::exists(printed));
}

TEST(CostMatrixReport, PrintsEveryActionInCodeOrderFromTheCostTable)
{
    TestContext t;
    addCostRange(*t.db, 3, 6, 12, 1234.5);
    addCostRange(*t.db, 3, 0, 6, 150);
    addCostRange(*t.db, 42, 0, 6, 10); // no such action: never printed
    frmEnterCosts costs(t.context());
    costs.show();
    click(costs.cmdPrint());
    auto* report = openWindow<ReportPreviewWindow>("frmCostMatrixReport");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->windowTitle(), "Cost Matix Report");
    EXPECT_TRUE(report->isModal());
    EXPECT_EQ(report->cmdPDF(), nullptr);
    ASSERT_TRUE(waitBuilt(report));
    const ReportDocument& document = report->document();
    EXPECT_EQ(document.orientation(), ReportDocument::Portrait);
    EXPECT_EQ(document.headerLines(1), QStringList({"Cost Estimate Matrix Report"}));
    QStringList texts;
    for (int page = 1; page <= document.pageCount(); ++page)
        texts << document.pageTexts(page);
    const QString all = texts.join('\n');
    const qsizetype none = all.indexOf("*** NO COST INFORMATION FOR THIS CORRECTIVE ACTION ***");
    EXPECT_LT(all.indexOf("Move Target"), none);
    EXPECT_LT(none, all.indexOf("Limit Access")) << "the first action has no cost rows";
    const auto rows = document.tableRows(1);
    std::vector<QStringList> cells;
    for (const auto& row : rows)
        cells.push_back(row.cells);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0], QStringList({"DBH Lower Limit", "DBH Upper Limit", "Estimated Cost"}));
    EXPECT_EQ(cells[1], QStringList({"0", "6", "$150.00"}));
    EXPECT_EQ(cells[2], QStringList({"6", "12", "$1,234.50"}));
    EXPECT_LT(all.indexOf("Remove Tree"), all.indexOf("Treat Stem Girdling Roots")) << "code order";
    EXPECT_FALSE(all.contains("$10.00"));
    click(report->cmdExit());
    settle();
}

class CostingMenuTest : public AppTest {};

TEST_F(CostingMenuTest, OpensTheCostingWindowsAsTheirItemsSay)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    const struct {
        const char* item;
        const char* window;
        const char* caption;
        bool hidesMain;
        const char* exit;
    } cases[] = {
        {"mnuCostSetup", "frmEnterCosts", "Enter Cost Information", true, "cmdSave"},
        {"mnuCostReport", "frmCostReportOptions", "Cost Report Options", true, "cmdExit"},
        {"mnuExcelExport", "frmExcelExport", "Excel Export", false, "Command1"},
    };
    for (const auto& c : cases) {
        QAction* item = main->menuItem(c.item);
        ASSERT_TRUE(item->isEnabled()) << c.item;
        item->trigger();
        QWidget* window = openWindow(c.window);
        ASSERT_NE(window, nullptr) << c.window;
        EXPECT_EQ(window->windowTitle(), c.caption);
        EXPECT_EQ(main->isVisible(), !c.hidesMain) << c.item;
        EXPECT_EQ(window->isModal(), !c.hidesMain) << c.item;
        item->trigger();
        EXPECT_EQ(openWindow(c.window), window) << "the same window again";
        click(child<QPushButton>(window, c.exit));
        settle();
        EXPECT_EQ(openWindow(c.window), nullptr);
        EXPECT_TRUE(main->isVisible()) << c.item;
    }
}

} // namespace
