// The report windows and options windows, driven as a user would.

#include "platform/busycursor.h"
#include "platform/progress.h"
#include "platform/twips.h"
#include "reports/frmReinspectionReportOptions.h"
#include "reports/frmSpecificCA_Options.h"
#include "reports/frmTreesNeedingCA_Options.h"
#include "reports/reportcommon.h"
#include "reports/reportpreview.h"
#include "reports/reportwindow.h"
#include "tests/reports/pdftext.h"
#include "tests/reports/surveydata.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

#include <atomic>

using namespace kolva;
using namespace kolva::test;

namespace {

bool waitBuilt(ReportPreviewWindow* window)
{
    return window && QTest::qWaitFor([window] { return window->isBuilt(); }, 20000);
}

// An empty report, as the builders of the window tests make it.
void emptyReport(ReportDocument& doc, Database&, Progress&)
{
    doc.BeginDocument();
    doc.EndDocument();
}

void click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

QStringList groupTitles(const QWidget* window)
{
    QStringList titles;
    for (const QGroupBox* box : window->findChildren<QGroupBox*>())
        titles.append(box->title());
    return titles;
}

void expectAccessibleNames(const QWidget* window)
{
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QSpinBox*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
}

class WindowsTest : public ::testing::Test {
protected:
    WindowsTest() { t.clock.current = QDateTime(QDate(2008, 1, 2), QTime(10, 30)); }
    ~WindowsTest() override
    {
        for (QWidget* w : owned)
            delete w;
        settle();
    }
    template <class W>
    W* show(W* window)
    {
        owned.append(window);
        window->show();
        return window;
    }
    TestContext t;
    Database& db = *t.db;
    QList<QPointer<QWidget>> owned;
};

// --- Reinspection options ----------------------------------------------------------

TEST_F(WindowsTest, ReinspectionOptionsShowEveryControlWithItsDefault)
{
    db.exec("INSERT INTO RiskZone (Description) VALUES (NULL), ('PARKS')");
    auto* w = show(new frmReinspectionReportOptions(t.context()));
    EXPECT_EQ(w->windowTitle(), "Reinspection Report Options");
    EXPECT_EQ(groupTitles(w), QStringList({"For Inspections Due In ", "Include Risk Ratings ", "Include Risk Zone",
                                           "Sort Report By "}));
    auto* year = child<QComboBox>(w, "cboYear");
    EXPECT_EQ(itemsOf(year).size(), 12);
    EXPECT_EQ(year->itemText(0), "2007");
    EXPECT_EQ(year->currentIndex(), 1);
    EXPECT_EQ(year->currentText(), "2008");
    EXPECT_TRUE(year->isEditable());
    for (int i = 0; i < 4; ++i) {
        auto* q = child<QCheckBox>(w, QStringLiteral("chkQuarter(%1)").arg(i));
        EXPECT_EQ(q->text(), QStringLiteral("Q%1").arg(i + 1));
        EXPECT_TRUE(q->isChecked());
    }
    EXPECT_EQ(child<QLabel>(w, "Label1")->text(), "From:");
    EXPECT_EQ(child<QLabel>(w, "Label2")->text(), "To:");
    EXPECT_EQ(child<QLineEdit>(w, "txtFrom")->text(), "0");
    EXPECT_EQ(child<QLineEdit>(w, "txtTo")->text(), "13") << "the highest rating of the risk questions";
    auto* zone = child<QComboBox>(w, "cmbRiskZone");
    EXPECT_EQ(itemsOf(zone), QStringList({"*** ALL  ***", "ARTERIAL ROADS", "DOWNTOWN", "PARKS", "RESIDENTIAL",
                                          "SCHOOL ZONES"}))
        << "a blank or repeated zone is not offered";
    EXPECT_EQ(zone->currentIndex(), 0);
    const char* sorts[] = {"Tree ID", "Risk Rating (Hi to Low) and Street Address", "Street Address and Risk Rating",
                           "Risk Rating (Hi to Low)"};
    for (int i = 0; i < 4; ++i) {
        auto* o = child<QRadioButton>(w, QStringLiteral("optSort(%1)").arg(i));
        EXPECT_EQ(o->text(), sorts[i]);
        EXPECT_EQ(o->isChecked(), i == 3);
    }
    EXPECT_EQ(child<QPushButton>(w, "cmdPrint")->text(), "Print Report");
    EXPECT_EQ(child<QPushButton>(w, "cmdExit")->text(), "E&xit");
    expectAccessibleNames(w);
}

TEST_F(WindowsTest, RatingBoxesTakeDigitsAndMinusOnly)
{
    auto* w = show(new frmReinspectionReportOptions(t.context()));
    auto* from = child<QLineEdit>(w, "txtFrom");
    from->clear();
    QTest::keyClicks(from, "a1.5 -x");
    EXPECT_EQ(from->text(), "15-");
}

TEST_F(WindowsTest, ReinspectionPrintValidatesTheOptions)
{
    const struct {
        const char *from, *to, *year;
        bool quarter;
        const char* message; // nullptr: the report opens
        const char* caption;
    } cases[] = {
        {"", "12", "2009", true, "Please enter a Risk Rating range", "Error"},
        {"0", "", "2009", true, "Please enter a Risk Rating range", "Error"},
        {"7", "5", "2009", true, "There is a problem with the Risk Rating range", "Error"},
        {"0", "12", "next year", true, "Please enter the year of the inspections as a number, for example 2009",
         "Error"},
        {"0", "12", "2009", false, "Please select at least ONE quarter", "Selection Error"},
        {"5", "5", "2009", true, nullptr, nullptr},
        {"-", "0", "2009", true, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        auto* w = show(new frmReinspectionReportOptions(t.context()));
        child<QLineEdit>(w, "txtFrom")->setText(c.from);
        child<QLineEdit>(w, "txtTo")->setText(c.to);
        child<QComboBox>(w, "cboYear")->setEditText(c.year);
        for (int i = 0; i < 4; ++i)
            w->chkQuarter(i)->setChecked(c.quarter);
        if (c.message)
            t.prompter.answer(MsgAnswer::Ok);
        click(child<QPushButton>(w, "cmdPrint"));
        if (c.message) {
            EXPECT_EQ(t.prompter.last().message.text, c.message);
            EXPECT_EQ(t.prompter.last().message.caption, c.caption);
            EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);
            EXPECT_EQ(w->reportWindow(), nullptr) << c.from << ".." << c.to;
        } else {
            ASSERT_NE(w->reportWindow(), nullptr) << c.from << ".." << c.to;
            EXPECT_TRUE(waitBuilt(w->reportWindow()));
        }
        delete w;
        settle();
    }
}

TEST_F(WindowsTest, ReportWindowOpensModallyOverItsOptionsAndBuildsOnceAfterHalfASecond)
{
    addTree(db, {.treeId = 5});
    auto* w = show(new frmReinspectionReportOptions(t.context()));
    w->cboYear()->setEditText("2009");
    click(w->cmdPrint());
    ReportPreviewWindow* report = w->reportWindow();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->objectName(), "frmReinspectionReport");
    EXPECT_EQ(report->windowTitle(), "Reinspection Report");
    EXPECT_EQ(report->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(w->isVisible()) << "the options stay open underneath";
    EXPECT_EQ(report->buildCount(), 0) << "not before the timer";
    ASSERT_TRUE(waitBuilt(report));
    EXPECT_EQ(report->buildCount(), 1);
    EXPECT_EQ(report->document().pageCount(), 1);
    EXPECT_EQ(report->document().tableRows(1).size(), 2u);
    EXPECT_EQ(report->VSPrinter1()->view()->pageCount(), 1);
    EXPECT_TRUE(report->cmdPDF()->isEnabled());
    for (const QSize size : {QSize(900, 700), QSize(700, 560), QSize(1000, 900)}) {
        report->resize(size);
        settle();
    }
    QTest::qWait(600);
    EXPECT_EQ(report->buildCount(), 1) << "resizing never rebuilds";
    click(report->cmdExit());
    settle();
    EXPECT_EQ(w->reportWindow(), nullptr);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(WindowsTest, ReportWindowKeepsItsSmallestSizeAndButtonsBelowThePreview)
{
    ReportPreviewWindow* report = show(new ReportPreviewWindow(
        t.context(), ReportWindowTraits::of(ReportWindowKind::TreesNeedingCAReport),
        emptyReport));
    const QPoint previewAt(twipsToPixels(225), twipsToPixels(105));
    for (const QSize asked : {QSize(300, 200), QSize(1000, 300), QSize(800, 700), QSize(1200, 1000)}) {
        report->resize(asked);
        settle();
        const QSize size = report->size();
        EXPECT_GE(size.width(), twipsToPixels(8820));
        EXPECT_GE(size.height(), twipsToPixels(8000));
        const QRect preview = report->VSPrinter1()->geometry();
        EXPECT_EQ(preview.topLeft(), previewAt);
        EXPECT_EQ(preview.height(), size.height() - twipsToPixels(1500));
        EXPECT_EQ(preview.width(), size.width() - twipsToPixels(1000));
        EXPECT_EQ(report->cmdExit()->y(), preview.height() + twipsToPixels(500));
        EXPECT_EQ(report->cmdPDF()->y(), report->cmdExit()->y());
        EXPECT_EQ(report->cmdPDF()->x(), report->cmdExit()->x() - twipsToPixels(2250));
    }
    EXPECT_EQ(report->cmdPDF()->text(), "&Save as a PDF ");
    EXPECT_EQ(report->cmdExit()->text(), "E&xit");
}

TEST_F(WindowsTest, TheFiveReportWindows)
{
    const struct {
        ReportWindowKind kind;
        const char *name, *caption;
        QPoint at;
        bool pdf;
    } cases[] = {
        {ReportWindowKind::CostReport, "frmCostReport", "Cost Report", {525, 300}, true},
        {ReportWindowKind::CostMatrixReport, "frmCostMatrixReport", "Cost Matix Report", {555, 225}, false},
        {ReportWindowKind::ReinspectionReport, "frmReinspectionReport", "Reinspection Report", {555, 285}, true},
        {ReportWindowKind::TreesNeedingCAReport, "frmTreesNeedingCA_Report", "Trees Needing Corrective Actions",
         {225, 105}, true},
        {ReportWindowKind::SpecificCAReport, "frmSpecificCA_Report", "Trees Needing a Specific Corrective Action",
         {420, 150}, true},
    };
    for (const auto& c : cases) {
        auto* window = new ReportPreviewWindow(t.context(), ReportWindowTraits::of(c.kind), emptyReport);
        show(window);
        EXPECT_EQ(window->objectName(), c.name);
        EXPECT_EQ(window->windowTitle(), c.caption);
        EXPECT_EQ(window->findChild<QPushButton*>("cmdPDF") != nullptr, c.pdf) << c.name;
        EXPECT_EQ(window->VSPrinter1()->pos(), QPoint(twipsToPixels(c.at.x()), twipsToPixels(c.at.y()))) << c.name;
        ASSERT_TRUE(waitBuilt(window));
        // The cost matrix is portrait; its builder sets that, the window turns no page.
        EXPECT_EQ(window->document().orientation(), c.kind == ReportWindowKind::CostMatrixReport
                                                        ? ReportDocument::Portrait
                                                        : ReportDocument::Landscape)
            << c.name;
    }
}

TEST_F(WindowsTest, ClosingBeforeTheBuildBuildsNothingAndGivesThePointerBack)
{
    std::atomic<int> built = 0;
    QPointer<ReportPreviewWindow> report = new ReportPreviewWindow(
        t.context(), ReportWindowTraits::of(ReportWindowKind::ReinspectionReport),
        [&built](ReportDocument&, Database&, Progress&) { ++built; });
    report->setAttribute(Qt::WA_DeleteOnClose);
    report->show();
    EXPECT_TRUE(busyCursorShown()) << "busy from the opening until the report is built";
    click(report->cmdExit());
    settle();
    QTest::qWait(700);
    EXPECT_TRUE(report.isNull());
    EXPECT_EQ(built, 0);
    EXPECT_FALSE(busyCursorShown());
}

// --- Save as a PDF -------------------------------------------------------------------

class SavePdfTest : public WindowsTest {
protected:
    // Clicks "Save as a PDF" and lets the save run to its end.
    void savePdf(ReportPreviewWindow* report)
    {
        click(report->cmdPDF());
        EXPECT_TRUE(QTest::qWaitFor([report] { return !report->isSaving(); }, 20000));
    }
    ReportPreviewWindow* openBuiltReport()
    {
        addTree(db, {.treeId = 77, .street = "ELM ST"});
        auto* w = show(new frmReinspectionReportOptions(t.context()));
        w->cboYear()->setEditText("2009");
        click(w->cmdPrint());
        ReportPreviewWindow* report = w->reportWindow();
        EXPECT_TRUE(waitBuilt(report));
        return report;
    }
    void writeOld(const QString& path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    static QByteArray contentOf(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(SavePdfTest, AsksWhereWithTheProgramFolderAndPdfFilter)
{
    ReportPreviewWindow* report = openBuiltReport();
    ASSERT_NE(report, nullptr);
    t.prompter.answerFile("");
    click(report->cmdPDF());
    const PromptRecord& asked = t.prompter.last();
    EXPECT_EQ(asked.kind, PromptRecord::Kind::SaveFile);
    EXPECT_EQ(asked.file.title, "Where do you want to place the PDF file?");
    EXPECT_EQ(asked.file.filter, "PDF Files(*.pdf)");
    EXPECT_EQ(asked.file.defaultSuffix, "PDF");
    EXPECT_EQ(asked.file.proposedName, "*.pdf");
    EXPECT_EQ(asked.file.folder, t.dir.path());
}

TEST_F(SavePdfTest, CancellingWritesNothingAndSaysNothing)
{
    ReportPreviewWindow* report = openBuiltReport();
    ASSERT_NE(report, nullptr);
    for (const char* cancelled : {"", "   ", "*.pdf", "*.PDF"}) {
        t.prompter.answerFile(cancelled);
        click(report->cmdPDF());
    }
    EXPECT_TRUE(t.prompter.messageTexts().isEmpty());
    EXPECT_EQ(QDir(t.dir.path()).entryList({"*.pdf", "*.PDF"}, QDir::Files), QStringList());
}

TEST_F(SavePdfTest, WritesTheShownReportAndSaysSo)
{
    ReportPreviewWindow* report = openBuiltReport();
    ASSERT_NE(report, nullptr);
    const QString path = t.dir.filePath("due.pdf");
    t.prompter.answerFile(path).answer(MsgAnswer::Ok);
    savePdf(report);
    EXPECT_EQ(t.prompter.last().message.text, path + " created!");
    EXPECT_EQ(t.prompter.last().message.caption, "PDF File Created");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Information);
    const QString text = pdfText(path);
    EXPECT_TRUE(text.contains("Reinspection Report FOR 2009"));
    EXPECT_TRUE(text.contains("ELM ST"));
    EXPECT_TRUE(text.contains("Printed : 02-Jan-08 10:30 AM"));
    EXPECT_TRUE(text.contains("Page 1 of 1"));
    EXPECT_EQ(pdfInfo(path, "Title"), "Reinspection Report FOR 2009 (ALL RISK ZONES - ) - Sorted by Hazard Rating");
    EXPECT_FALSE(report->lblStatus()->isVisible()) << "nothing to say below the preview";
}

TEST_F(SavePdfTest, ACharacterNoFontHasIsNamedBelowThePreviewAndWhenSaved)
{
    addTree(db, {.treeId = 5, .street = QStringLiteral("OAK ") + QString::fromUcs4(U"\U0010FFFD") + " ST"});
    ReportPreviewWindow* report = openBuiltReport();
    ASSERT_NE(report, nullptr);
    const QString note = QStringLiteral(
        "No installed font has one of this report's characters; it is printed as empty boxes: U+10FFFD (page 1).");
    EXPECT_TRUE(report->lblStatus()->isVisible());
    EXPECT_EQ(report->lblStatus()->text(), note);
    EXPECT_LE(report->lblStatus()->geometry().right(), report->cmdPDF()->geometry().left()) << "beside the buttons";
    const QString path = t.dir.filePath("boxes.pdf");
    t.prompter.answerFile(path).answer(MsgAnswer::Ok);
    savePdf(report);
    EXPECT_EQ(t.prompter.last().message.text, path + " created!\n\n" + note);
    EXPECT_EQ(t.prompter.last().message.caption, "PDF File Created");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);
}

TEST_F(SavePdfTest, AnExistingFileIsReplacedOnlyAfterYes)
{
    ReportPreviewWindow* report = openBuiltReport();
    ASSERT_NE(report, nullptr);
    const QString path = t.dir.filePath("old.pdf");
    writeOld(path);
    t.prompter.answerFile(path).answer(MsgAnswer::No);
    click(report->cmdPDF());
    const MessageRequest& question = t.prompter.last().message;
    EXPECT_EQ(question.text, path + " already exists! Overwrite it?");
    EXPECT_EQ(question.caption, "Overwrite File?");
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_EQ(question.defaultButton, MsgAnswer::No);
    EXPECT_EQ(question.icon, MsgIcon::Exclamation);
    EXPECT_EQ(contentOf(path), "old") << "No keeps the old file";

    t.prompter.answerFile(path).answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    savePdf(report);
    EXPECT_EQ(t.prompter.last().message.caption, "PDF File Created");
    EXPECT_TRUE(pdfText(path).contains("ELM ST"));
}

TEST_F(SavePdfTest, AFileThatCannotBeWrittenIsReportedAsAnError)
{
    ReportPreviewWindow* report = openBuiltReport();
    ASSERT_NE(report, nullptr);
    t.prompter.answerFile(t.dir.filePath("no/such/folder/x.pdf")).answer(MsgAnswer::Ok);
    savePdf(report);
    const MessageRequest& error = t.prompter.last().message;
    EXPECT_EQ(error.caption, "Error");
    EXPECT_EQ(error.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(error.text.contains(" - ")) << error.text.toStdString();
    EXPECT_FALSE(t.prompter.messageTexts().join("").contains("created!"));
}

// --- Trees needing corrective action -------------------------------------------------

TEST_F(WindowsTest, TreesNeedingCAOptionsAndTheDivideBox)
{
    auto* w = show(new frmTreesNeedingCA_Options(t.context()));
    EXPECT_EQ(w->windowTitle(), "Trees Needing Corrective Actions");
    EXPECT_EQ(groupTitles(w), QStringList({"Include Risk Ratings ", "Include Risk Zone"}));
    EXPECT_EQ(child<QLabel>(w, "Label1")->text(), ">=");
    EXPECT_EQ(child<QLabel>(w, "Label2")->text(),
              "(Report will be sorted by Street Address, and will ONLY include trees identified as needing one or "
              "more corrective actions)");
    EXPECT_EQ(w->txtRiskRating()->text(), "0");
    EXPECT_EQ(w->cmbRiskZone()->currentText(), "*** ALL  ***");
    EXPECT_EQ(w->Check1()->text(), "If ALL, Divide Report By Risk Zone");
    EXPECT_FALSE(w->Check1()->isChecked());
    EXPECT_TRUE(w->Check1()->isEnabled());
    expectAccessibleNames(w);

    w->Check1()->setChecked(true);
    w->cmbRiskZone()->setCurrentIndex(2);
    EXPECT_FALSE(w->Check1()->isChecked());
    EXPECT_FALSE(w->Check1()->isEnabled());
    w->cmbRiskZone()->setCurrentIndex(0);
    EXPECT_TRUE(w->Check1()->isEnabled());
    EXPECT_FALSE(w->Check1()->isChecked());
}

TEST_F(WindowsTest, TreesNeedingCAPrintRefusesAnEmptyRatingAndBuildsEitherLayout)
{
    addTree(db, {.treeId = 1, .zone = "PARKS", .actions = "3"});
    addTree(db, {.treeId = 2, .zone = "DOWNTOWN", .actions = "1"});
    auto* w = show(new frmTreesNeedingCA_Options(t.context()));
    w->txtRiskRating()->clear();
    t.prompter.answer(MsgAnswer::Ok);
    click(w->cmdPrint());
    EXPECT_EQ(t.prompter.last().message.text, "Please enter a Risk Rating ");
    EXPECT_EQ(t.prompter.last().message.caption, "Error");
    EXPECT_EQ(w->reportWindow(), nullptr);

    w->txtRiskRating()->setText("0");
    w->Check1()->setChecked(true);
    click(w->cmdPrint());
    ReportPreviewWindow* report = w->reportWindow();
    ASSERT_TRUE(waitBuilt(report));
    EXPECT_EQ(report->objectName(), "frmTreesNeedingCA_Report");
    EXPECT_EQ(report->document().paragraphLines(1),
              QStringList({"", "Risk Zone: DOWNTOWN (1 Tree(s) )", "", "Risk Zone: PARKS (1 Tree(s) )", "", "", ""}));
    report->close();
    settle();

    w->Check1()->setChecked(false);
    click(w->cmdPrint());
    report = w->reportWindow();
    ASSERT_TRUE(waitBuilt(report));
    EXPECT_EQ(report->document().paragraphLines(1), QStringList({"ALL Risk Zones:  (2 Tree(s) )", ""}));
}

// --- Specific corrective action --------------------------------------------------------

TEST_F(WindowsTest, SpecificCAOptionsListTheCodesWithTwoDigits)
{
    auto* w = show(new frmSpecificCA_Options(t.context()));
    EXPECT_EQ(w->windowTitle(), "Trees Needing a Specific Corrective Action");
    EXPECT_EQ(groupTitles(w), QStringList({"Select Corrective Action", "Include Risk Zone", "Include Risk Ratings "}));
    const QStringList items = itemsOf(w->cmbCA());
    ASSERT_EQ(items.size(), 11);
    EXPECT_EQ(items.first(), "01 - Move Target");
    EXPECT_EQ(items.at(9), "10 - Cable or Brace");
    EXPECT_EQ(w->cmbCA()->currentIndex(), 0);
    EXPECT_EQ(child<QLabel>(w, "Label2")->text(), "(Report will be sorted by Street Address)");
    EXPECT_EQ(w->txtRiskRating()->text(), "0");
    w->Check1()->setChecked(true);
    w->cmbRiskZone()->setCurrentIndex(3);
    EXPECT_TRUE(w->Check1()->isEnabled()) << "stays enabled whichever zone";
    EXPECT_TRUE(w->Check1()->isChecked());
    expectAccessibleNames(w);
}

TEST_F(WindowsTest, SpecificCAReportMarksThenListsTheTreesOfTheChosenCode)
{
    addTree(db, {.treeId = 1, .zone = "PARKS", .actions = "2,10,11"});
    addTree(db, {.treeId = 2, .zone = "PARKS", .actions = "1"});
    addTree(db, {.treeId = 3, .zone = "DOWNTOWN", .actions = "10"});
    auto* w = show(new frmSpecificCA_Options(t.context()));
    w->cmbCA()->setCurrentIndex(9); // 10 - Cable or Brace
    w->Check1()->setChecked(true);
    w->cmbRiskZone()->setCurrentIndex(3); // PARKS: the divide box has no effect
    click(w->cmdPrint());
    ReportPreviewWindow* report = w->reportWindow();
    ASSERT_TRUE(waitBuilt(report));
    EXPECT_EQ(report->objectName(), "frmSpecificCA_Report");
    const ReportDocument& doc = report->document();
    EXPECT_EQ(doc.headerLines(1), QStringList({"Trees Needing 10 - Cable or Brace - Risk Rating >= 0"}));
    EXPECT_EQ(doc.paragraphLines(1), QStringList({"Risk Zone: PARKS (1 Tree(s) )", ""}));
    EXPECT_EQ(doc.tableRows(1).at(1).cells.value(0), "1");
    QStringList flagged;
    QSqlQuery q = db.query("SELECT Tree_ID FROM _Archived_SurveyData WHERE Report_Flag = 1 ORDER BY ID");
    while (q.next())
        flagged << q.value(0).toString();
    EXPECT_EQ(flagged, QStringList({"1", "3"}));
}

TEST_F(WindowsTest, SpecificCAWithoutCodesRefusesToPrint)
{
    db.exec("DELETE FROM _tblCorrAction");
    auto* w = show(new frmSpecificCA_Options(t.context()));
    EXPECT_EQ(w->cmbCA()->count(), 0);
    t.prompter.answer(MsgAnswer::Ok);
    click(w->cmdPrint());
    EXPECT_EQ(t.prompter.last().message.text, "There is no corrective action to report on");
    EXPECT_EQ(w->reportWindow(), nullptr);
}

// --- Long work off the window thread ----------------------------------------------------

class LongWorkTest : public WindowsTest {
protected:
    // A report window whose build waits until the test releases it or the
    // user cancels.
    ReportPreviewWindow* openWaitingReport()
    {
        QPointer<ReportPreviewWindow> report = new ReportPreviewWindow(
            t.context(), ReportWindowTraits::of(ReportWindowKind::TreesNeedingCAReport),
            [this](ReportDocument& doc, Database& db, Progress& progress) {
                builtOn = QThread::currentThread();
                EXPECT_NE(&db, t.db.get()) << "a connection of its own";
                progress.setCancellable(true);
                progress.beginStage("Selecting the trees", 0);
                while (!release) {
                    if (progress.cancelRequested())
                        throw ReportCancelled();
                    QThread::msleep(5);
                }
                emptyReport(doc, db, progress);
            });
        report->setAttribute(Qt::WA_DeleteOnClose);
        report->show();
        owned.append(report.data());
        return report;
    }
    std::atomic<bool> release{false};
    std::atomic<QThread*> builtOn{nullptr};
};

TEST_F(LongWorkTest, TheBuildRunsOnAWorkerWithProgressAndCancelClosesTheWindow)
{
    QPointer<ReportPreviewWindow> report = openWaitingReport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return report->job() && report->job()->dialog(); }, 5000));
    EXPECT_NE(builtOn.load(), QThread::currentThread());
    QWidget* dialog = report->job()->dialog();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(child<QLabel>(dialog, "lblProgress")->text(), "Selecting the trees");
    auto* cancel = child<QPushButton>(dialog, "cmdCancel");
    QTRY_VERIFY(cancel->isEnabled());
    click(cancel);
    QTRY_VERIFY(report.isNull());
    EXPECT_FALSE(busyCursorShown());
}

TEST_F(LongWorkTest, ClosingTheWindowStopsTheBuildAndTheWindowGoesOnceItHasStopped)
{
    QPointer<ReportPreviewWindow> report = openWaitingReport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return report->job() != nullptr; }, 5000));
    QPointer<BackgroundJob> job = report->job();
    click(report->cmdExit());
    EXPECT_TRUE(report && report->isVisible()) << "the window waits for its build";
    QTRY_VERIFY(report.isNull());
    EXPECT_TRUE(job.isNull());
    EXPECT_FALSE(release) << "the build was stopped, not finished";
    EXPECT_FALSE(busyCursorShown());
}

TEST_F(LongWorkTest, CancellingThePdfLeavesNoFile)
{
    ReportPreviewWindow* report = show(new ReportPreviewWindow(
        t.context(), ReportWindowTraits::of(ReportWindowKind::ReinspectionReport),
        [](ReportDocument& doc, Database&, Progress&) {
            std::vector<QStringList> rows;
            for (int i = 1; i <= 20000; ++i)
                rows.push_back({QString::number(i), QStringLiteral("STREET %1").arg(i)});
            doc.BeginDocument();
            doc.AddTableRows("^1in|<3in", "No|Street", std::move(rows), HeaderShade);
            doc.EndDocument();
        }));
    ASSERT_TRUE(waitBuilt(report));
    const QString path = t.dir.filePath("stopped.pdf");
    t.prompter.answerFile(path);
    QSignalSpy finished(report, &ReportPreviewWindow::pdfFinished);
    click(report->cmdPDF());
    ASSERT_NE(report->job(), nullptr);
    EXPECT_FALSE(report->cmdPDF()->isEnabled()) << "one save at a time";
    report->job()->requestCancel();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(QDir(t.dir.path()).entryList({"stopped*"}, QDir::Files), QStringList()) << "no partial file";
    EXPECT_TRUE(t.prompter.messageTexts().isEmpty()) << "cancelled: nothing to say";
    EXPECT_TRUE(report->cmdPDF()->isEnabled());
}

// --- Long zone names and trees without a zone -------------------------------------------

TEST_F(WindowsTest, ALongZoneNameIsShortenedInItsListWithTheWholeNameInATooltip)
{
    const QString longZone = QStringLiteral("NORTH ") + QString(300, QLatin1Char('X')) + QStringLiteral(" END");
    db.exec("INSERT INTO RiskZone (Description) VALUES (?)", {longZone});
    addTree(db, {.treeId = 8, .zone = longZone, .actions = "3"});
    addTree(db, {.treeId = 9, .zone = QVariant(), .actions = "3"});
    auto* w = show(new frmTreesNeedingCA_Options(t.context()));
    settle();
    QComboBox* zones = w->cmbRiskZone();
    EXPECT_LT(w->width(), 700) << "the window keeps its width";
    EXPECT_TRUE(w->rect().contains(w->cmdExit()->geometry())) << "Exit stays in reach";
    const int at = zones->findData(longZone);
    ASSERT_GT(at, 0);
    EXPECT_TRUE(zones->itemText(at).endsWith(QChar(0x2026))) << zones->itemText(at).size();
    EXPECT_EQ(zones->itemData(at, Qt::ToolTipRole).toString(), longZone);
    zones->setCurrentIndex(at);
    EXPECT_EQ(zones->toolTip(), longZone);
    EXPECT_EQ(itemsOf(zones).constLast(), "(none)");

    EXPECT_EQ(w->options().zone, longZone);
    click(w->cmdPrint());
    ReportPreviewWindow* report = w->reportWindow();
    ASSERT_TRUE(waitBuilt(report));
    EXPECT_EQ(report->document().paragraphLines(1).value(0), "Risk Zone: NORTH") << "the heading wraps";
    EXPECT_EQ(report->document().tableRows(1).at(1).cells.value(0), "8");
    report->close();
    settle();

    zones->setCurrentIndex(zones->count() - 1);
    click(w->cmdPrint());
    report = w->reportWindow();
    ASSERT_TRUE(waitBuilt(report));
    EXPECT_EQ(report->document().paragraphLines(1).value(0), "Risk Zone: (none) (1 Tree(s) )");
    EXPECT_EQ(report->document().tableRows(1).at(1).cells.value(0), "9");
}

// --- The preview ------------------------------------------------------------------------

class PreviewTest : public WindowsTest {
protected:
    PreviewTest()
    {
        std::vector<QStringList> rows;
        for (int i = 1; i <= 12000; ++i)
            rows.push_back({QString::number(i), QStringLiteral("STREET %1").arg(i)});
        doc.BeginDocument();
        doc.SetPageHeader("|Long report|Page %d");
        doc.AddTableRows("^1in|<3in", "No|Street", std::move(rows), HeaderShade);
        doc.EndDocument();
    }
    ReportDocument doc;
};

TEST_F(PreviewTest, ShowsTheFirstPageWithoutPaintingTheOthers)
{
    ASSERT_GT(doc.pageCount(), 200);
    auto* preview = show(new ReportPreview);
    preview->resize(800, 600);
    preview->setDocument(&doc);
    settle();
    preview->view()->viewport()->repaint();
    EXPECT_GE(preview->view()->pagesPainted(), 1);
    EXPECT_LE(preview->view()->pagesPainted(), 6);
    EXPECT_EQ(preview->view()->currentPage(), 1);
    EXPECT_EQ(child<QLabel>(preview, "lblPageCount")->text(), QStringLiteral("of %1").arg(doc.pageCount()));
}

TEST_F(PreviewTest, PagesAndZooms)
{
    auto* preview = show(new ReportPreview);
    preview->resize(800, 600);
    preview->setDocument(&doc);
    settle();
    auto* view = preview->view();
    EXPECT_FALSE(child<QToolButton>(preview, "cmdPreviousPage")->isEnabled());
    click(child<QToolButton>(preview, "cmdNextPage"));
    EXPECT_EQ(view->currentPage(), 2);
    EXPECT_EQ(child<QSpinBox>(preview, "txtPage")->value(), 2);
    click(child<QToolButton>(preview, "cmdLastPage"));
    EXPECT_EQ(view->currentPage(), doc.pageCount());
    EXPECT_FALSE(child<QToolButton>(preview, "cmdNextPage")->isEnabled());
    child<QSpinBox>(preview, "txtPage")->setValue(100);
    EXPECT_EQ(view->currentPage(), 100);
    click(child<QToolButton>(preview, "cmdFirstPage"));
    EXPECT_EQ(view->currentPage(), 1);

    const double fitWidth = view->zoomFactor();
    click(child<QToolButton>(preview, "cmdZoomIn"));
    EXPECT_NEAR(view->zoomFactor(), fitWidth * 1.25, 1e-9);
    EXPECT_GT(view->pageRect(1).width(), int(view->viewport()->width() * 1.1));
    view->setZoomMode(PageView::ZoomMode::WholePage);
    EXPECT_LE(view->pageRect(1).height(), view->viewport()->height());
    view->setZoomFactor(0.2);
    click(child<QToolButton>(preview, "cmdLastPage"));
    EXPECT_EQ(view->currentPage(), doc.pageCount()) << "several pages in sight";
    click(child<QToolButton>(preview, "cmdPreviousPage"));
    EXPECT_EQ(view->currentPage(), doc.pageCount() - 1);
    view->setZoomFactor(1.0);
    EXPECT_NEAR(view->pageRect(1).width(), 8.5 * view->logicalDpiX(), 2) << "100% is the paper's size";
}

TEST_F(PreviewTest, PrintsTheChosenPages)
{
    auto* preview = show(new ReportPreview);
    preview->setDocument(&doc);
    const QString path = t.dir.filePath("printed.pdf");
    int offered = 0;
    preview->setPrintAsker([&](QWidget*, QPrinter& printer, int pages) {
        offered = pages;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        return true;
    });
    click(child<QToolButton>(preview, "cmdPrintReport"));
    EXPECT_EQ(offered, doc.pageCount());
    const QStringList pages = pdfPages(path);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains("Page 2"));
    EXPECT_TRUE(pages[1].contains("Page 3"));
    EXPECT_TRUE(pages[1].contains("Street")) << "the header row again";

    preview->setPrintAsker([](QWidget*, QPrinter&, int) { return false; });
    QFile::remove(path);
    click(child<QToolButton>(preview, "cmdPrintReport"));
    EXPECT_FALSE(QFile::exists(path)) << "cancelled: nothing printed";
}

} // namespace

namespace {

// --- The paper ---------------------------------------------------------------------

// Every table row of every page lies within the body of the page: nothing is
// cut off at an edge of the paper.
void expectWithinThePaper(const ReportDocument& document, const char* name)
{
    const QRectF body = document.bodyRect().adjusted(-1, -1, 1, 1);
    const QRectF paper(QPointF(0, 0), document.pageSize());
    ASSERT_GT(document.pageCount(), 1) << name;
    for (int page = 1; page <= document.pageCount(); ++page) {
        for (const ReportDocument::RowView& row : document.tableRows(page)) {
            EXPECT_TRUE(body.contains(row.rect))
                << name << " page " << page << ": " << row.cells.join('|').toStdString();
            EXPECT_TRUE(paper.contains(row.rect)) << name << " page " << page;
        }
    }
}

TEST_F(WindowsTest, ReportsAreLaidOutOnThePaperOfTheSettingsWithoutClipping)
{
    for (int i = 1; i <= 60; ++i)
        addTree(db, {.treeId = i, .street = QStringLiteral("MARTIN LUTHER KING JR BOULEVARD NORTH %1").arg(i),
                     .location = "BETWEEN THE SIDEWALK AND THE CURB", .species = "QUERCUS RUBRA-NORTHERN RED OAK",
                     .actions = "1,2,3,4,5,6,7,8,9,10,11"});
    struct Case {
        QPageSize::PageSizeId paper;
        const char* name;
        QString pdfSize;
    };
    for (const Case& c : {Case{QPageSize::A4, "A4", "(A4)"}, Case{QPageSize::Letter, "Letter", "(letter)"}}) {
        t.settings.setReportPaper(c.paper);
        auto* reinspection = show(new frmReinspectionReportOptions(t.context()));
        reinspection->cboYear()->setEditText("2009");
        click(reinspection->cmdPrint());
        ReportPreviewWindow* report = reinspection->reportWindow();
        ASSERT_TRUE(waitBuilt(report)) << c.name;
        EXPECT_EQ(report->document().paperSize(), c.paper) << c.name;
        EXPECT_EQ(report->document().pageLayout().pageSize().id(), c.paper) << c.name;
        expectWithinThePaper(report->document(), c.name);
        const QString pdf = t.dir.filePath(QStringLiteral("reinspection-%1.pdf").arg(c.name));
        report->document().SaveAsPdf(pdf);
        EXPECT_TRUE(pdfInfo(pdf, "Page size").contains(c.pdfSize)) << c.name << ": " << pdfInfo(pdf, "Page size").toStdString();
        click(report->cmdExit());
        settle();

        auto* needing = show(new frmTreesNeedingCA_Options(t.context()));
        click(needing->cmdPrint());
        ASSERT_TRUE(waitBuilt(needing->reportWindow())) << c.name;
        expectWithinThePaper(needing->reportWindow()->document(), c.name);
        click(needing->reportWindow()->cmdExit());
        settle();
    }
}

TEST_F(WindowsTest, APaperChosenInThePrintDialogIsLaidOutPrintedAndRemembered)
{
    addTree(db, {.treeId = 77, .street = "ELM ST"});
    auto* options = show(new frmReinspectionReportOptions(t.context()));
    options->cboYear()->setEditText("2009");
    click(options->cmdPrint());
    ReportPreviewWindow* report = options->reportWindow();
    ASSERT_TRUE(waitBuilt(report));
    ASSERT_EQ(report->document().paperSize(), QPageSize::Letter) << "Letter until the user chooses another";

    const QString printed = t.dir.filePath("printed.pdf");
    QPageSize::PageSizeId offered = QPageSize::Custom;
    report->VSPrinter1()->setPrintAsker([&](QWidget*, QPrinter& printer, int) {
        offered = printer.pageLayout().pageSize().id();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return true;
    });
    click(child<QToolButton>(report->VSPrinter1(), "cmdPrintReport"));
    EXPECT_EQ(offered, QPageSize::Letter) << "the dialog starts from the paper laid out";
    ASSERT_TRUE(QTest::qWaitFor([&] { return report->buildCount() == 2 && report->isBuilt(); }, 20000));
    EXPECT_EQ(report->document().paperSize(), QPageSize::A4) << "laid out again on the paper chosen";
    EXPECT_EQ(t.settings.reportPaper(), QPageSize::A4);
    ASSERT_TRUE(QFile::exists(printed));
    EXPECT_TRUE(pdfInfo(printed, "Page size").contains("(A4)")) << pdfInfo(printed, "Page size").toStdString();
    EXPECT_TRUE(pdfText(printed).contains("ELM ST"));
    click(report->cmdExit());
    settle();

    // The next report is laid out on it at once.
    click(options->cmdPrint());
    ASSERT_TRUE(waitBuilt(options->reportWindow()));
    EXPECT_EQ(options->reportWindow()->document().paperSize(), QPageSize::A4);
    EXPECT_EQ(options->reportWindow()->buildCount(), 1);
}

} // namespace
