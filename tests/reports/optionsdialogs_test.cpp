// The four report options windows are dialogs: Enter (from a box of the
// options) prints the report, Escape closes the window.

#include "costing/costtable.h"
#include "costing/frmCostReportOptions.h"
#include "platform/windows.h"
#include "reports/frmReinspectionReportOptions.h"
#include "reports/frmSpecificCA_Options.h"
#include "reports/frmTreesNeedingCA_Options.h"
#include "tests/reports/surveydata.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace kolva;
using namespace kolva::test;

namespace {

struct OptionsWindow {
    const char* name;
    std::function<ReportOptionsDialog*(const AppContext&)> make;
    // The box Enter is pressed in.
    std::function<QLineEdit*(ReportOptionsDialog*)> box;
    const char* report;
    bool reportModal;
};

template <class W>
std::function<QLineEdit*(ReportOptionsDialog*)> boxOf(QLineEdit* (W::*box)() const)
{
    return [box](ReportOptionsDialog* w) { return (static_cast<W*>(w)->*box)(); };
}

template <class W>
ReportOptionsDialog* make(const AppContext& context)
{
    return new W(context);
}

TEST(ReportOptionsDialogs, EnterPrintsTheReportAndEscapeClosesTheWindow)
{
    const OptionsWindow windows[] = {
        {"frmReinspectionReportOptions", make<frmReinspectionReportOptions>,
         boxOf(&frmReinspectionReportOptions::txtFrom), "frmReinspectionReport", true},
        {"frmTreesNeedingCA_Options", make<frmTreesNeedingCA_Options>,
         boxOf(&frmTreesNeedingCA_Options::txtRiskRating), "frmTreesNeedingCA_Report", true},
        {"frmSpecificCA_Options", make<frmSpecificCA_Options>, boxOf(&frmSpecificCA_Options::txtRiskRating),
         "frmSpecificCA_Report", true},
        {"frmCostReportOptions", make<frmCostReportOptions>, boxOf(&frmCostReportOptions::txtRiskFrom),
         "frmCostReport", false},
    };
    for (const OptionsWindow& c : windows) {
        SCOPED_TRACE(c.name);
        TestContext t;
        t.clock.current = QDateTime(QDate(2008, 1, 2), QTime(10, 30));
        addCostRange(*t.db, 3, 0, 24, 450);
        addTree(*t.db, {.treeId = 1, .zone = "PARKS", .rating = 5, .reinspectYear = "2008", .actions = "1,3"});
        QPointer<ReportOptionsDialog> window = c.make(t.context());
        EXPECT_EQ(window->objectName(), c.name);
        // As the menu opens it: deleted when it closes.
        kolva::openWindow(nullptr, window, OpenMode::HideOpener);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QLineEdit* box = c.box(window);
        box->setFocus();
        ASSERT_EQ(window->reportWindow(), nullptr);

        QTest::keyClick(box, Qt::Key_Return);
        QPointer<ReportPreviewWindow> report = window->reportWindow();
        ASSERT_NE(report, nullptr) << "Enter pressed Print Report";
        EXPECT_EQ(report->objectName(), c.report);
        EXPECT_EQ(report->isModal(), c.reportModal);
        ASSERT_TRUE(QTest::qWaitFor([&] { return report && report->isBuilt(); }, 20000));

        if (c.reportModal) {
            report->close(); // the options wait under it
            settle();
            ASSERT_TRUE(report.isNull());
        }
        QTest::keyClick(window, Qt::Key_Escape);
        settle();
        EXPECT_TRUE(window.isNull()) << "Escape closed the window";
        EXPECT_TRUE(report.isNull()) << "the report went with its options";
        if (window)
            delete window.data();
    }
}

} // namespace
