// The cost table window, the period block and the CSV export window, driven
// as a user would.

#include "costing/costtable.h"
#include "costing/frmEnterCosts.h"
#include "costing/frmExcelExport.h"
#include "costing/periodblock.h"
#include "store/database.h"
#include "tests/reports/surveydata.h"
#include "tests/support/fulldisk.h"
#include "tests/support/oddentries.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kolva;
using namespace kolva::test;

namespace {

void click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

void showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

// Clears a box and types into it key by key.
void typeInto(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

QStringList gridRow(const QTableWidget* grid, int row)
{
    QStringList cells;
    for (int c = 1; c < grid->columnCount(); ++c)
        cells << grid->item(row, c)->text();
    return cells;
}

// ---------------------------------------------------------------- frmEnterCosts

class EnterCostsTest : public ::testing::Test {
protected:
    TestContext t;
    std::unique_ptr<frmEnterCosts> window;

    frmEnterCosts* open()
    {
        window = std::make_unique<frmEnterCosts>(t.context());
        showActive(window.get());
        return window.get();
    }
    void add(const QString& from, const QString& to, const QString& cost)
    {
        click(window->cmdAdd());
        typeInto(window->txtDBHFrom(), from);
        typeInto(window->txtDBHTo(), to);
        typeInto(window->txtCost(), cost);
        click(window->cmdAddSave());
    }
    void chooseAction(int code)
    {
        window->cboAction()->setCurrentIndex(window->cboAction()->findData(code));
    }
};

TEST_F(EnterCostsTest, ListsEveryActionAndItsRangesByLowerBound)
{
    addCostRange(*t.db, 1, 4, 8, 300);
    addCostRange(*t.db, 3, 12, 24, 450);
    addCostRange(*t.db, 3, 6, 12, 1234.5);
    frmEnterCosts* w = open();
    EXPECT_EQ(w->windowTitle(), "Enter Cost Information");
    ASSERT_EQ(w->cboAction()->count(), 11);
    EXPECT_EQ(w->cboAction()->itemText(0), "01 - Move Target");
    EXPECT_EQ(w->cboAction()->itemText(10).left(5), "11 - ");
    EXPECT_FALSE(w->frameAddCost()->isVisible());
    EXPECT_EQ(w->txtMobilize()->text(), "0");
    EXPECT_EQ(w->lblCA()->text(), "ACTION==>01 - Move Target");
    ASSERT_EQ(w->grdCost()->rowCount(), 1);
    EXPECT_EQ(gridRow(w->grdCost(), 0), QStringList({"4", "8", "300.00"}));
    EXPECT_TRUE(w->grdCost()->isColumnHidden(0));

    // Choosing another action reloads the grid and the panel's caption.
    QTest::keyClick(w->cboAction(), Qt::Key_Down);
    QTest::keyClick(w->cboAction(), Qt::Key_Down);
    EXPECT_EQ(w->cboAction()->currentIndex(), 2);
    EXPECT_EQ(w->lblCA()->text(), "ACTION==>03 - Remove Tree");
    ASSERT_EQ(w->grdCost()->rowCount(), 2);
    EXPECT_EQ(gridRow(w->grdCost(), 0), QStringList({"6", "12", "1,234.50"}));
    EXPECT_EQ(gridRow(w->grdCost(), 1), QStringList({"12", "24", "450.00"}));
}

TEST_F(EnterCostsTest, AddsARangeAndGoesBackToBrowsing)
{
    frmEnterCosts* w = open();
    chooseAction(3);
    click(w->cmdAdd());
    EXPECT_TRUE(w->frameAddCost()->isVisible());
    for (QWidget* c : std::initializer_list<QWidget*>{w->cmdAdd(), w->cmdDelete(), w->cboAction(), w->txtMobilize(),
                                                      w->cmdSave(), w->cmdPrint()})
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    click(w->cmdCancel());
    EXPECT_FALSE(w->frameAddCost()->isVisible());
    EXPECT_TRUE(w->cmdAdd()->isEnabled());

    add("4", "8", "300");
    add("3", "6", "1234");
    EXPECT_FALSE(w->frameAddCost()->isVisible());
    EXPECT_TRUE(w->cboAction()->isEnabled() && w->cmdPrint()->isEnabled() && w->cmdSave()->isEnabled());
    ASSERT_EQ(w->grdCost()->rowCount(), 2);
    EXPECT_EQ(gridRow(w->grdCost(), 0), QStringList({"3", "6", "1,234.00"}));
    EXPECT_EQ(gridRow(w->grdCost(), 1), QStringList({"4", "8", "300.00"}));
    const std::vector<CostRange> stored = readCostRanges(*t.db, 3);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].cost.toDouble(), 1234);
    EXPECT_TRUE(t.prompter.prompts().empty());

    // A decimal point cannot be typed into a bound or the cost.
    click(w->cmdAdd());
    QTest::keyClicks(w->txtDBHFrom(), "1.5a");
    EXPECT_EQ(w->txtDBHFrom()->text(), "15");
    QTest::keyClicks(w->txtCost(), "-20");
    EXPECT_EQ(w->txtCost()->text(), "-20");
}

TEST_F(EnterCostsTest, RefusesARangeThatIsNotOneAndKeepsWhatWasTyped)
{
    frmEnterCosts* w = open();
    const struct {
        const char* from;
        const char* to;
        const char* cost;
        const char* message;
        const char* focus;
    } cases[] = {
        {"", "6", "100", "Please enter a DBH range", "txtDBHFrom"},
        {"3", "3", "100", "There is an error in your specified DBH range", "txtDBHFrom"},
        {"6", "3", "100", "There is an error in your specified DBH range", "txtDBHFrom"},
        {"-", "6", "100", "There is an error in your specified DBH range", "txtDBHFrom"},
        {"3", "6", "", "Please enter a cost estimate for this corrective action and DBH range", "txtCost"},
        {"3", "32768", "100", "There is an error in your specified DBH range: a DBH lies between -32,768 and 32,767",
         "txtDBHTo"},
        {"3", "6", "-20", "Please enter a cost estimate from $0 to $999,999,999 for this corrective action and DBH range",
         "txtCost"},
    };
    for (const auto& c : cases) {
        t.prompter.answer(MsgAnswer::Ok);
        add(c.from, c.to, c.cost);
        ASSERT_EQ(t.prompter.prompts().size(), 1u) << c.from << " " << c.to;
        const MessageRequest& m = t.prompter.last().message;
        EXPECT_EQ(m.text, c.message);
        EXPECT_EQ(m.caption, "Error");
        EXPECT_EQ(m.icon, MsgIcon::Exclamation);
        EXPECT_TRUE(w->frameAddCost()->isVisible()) << "still adding";
        EXPECT_EQ(w->txtDBHTo()->text(), c.to) << "kept as typed";
        EXPECT_EQ(QApplication::focusWidget()->objectName(), c.focus);
        t.prompter.clear();
        click(w->cmdCancel());
    }
    EXPECT_TRUE(readAllCostRanges(*t.db).empty());
    add("0", "6", "0");
    EXPECT_EQ(readAllCostRanges(*t.db).size(), 1u) << "a lower bound of 0 is a bound";
}

TEST_F(EnterCostsTest, DeletesTheCurrentRangeOnlyWhenConfirmed)
{
    addCostRange(*t.db, 3, 6, 12, 200);
    addCostRange(*t.db, 3, 12, 24, 1450);
    frmEnterCosts* w = open();

    // An action without ranges: nothing to delete, nothing asked.
    t.prompter.answer(MsgAnswer::Ok);
    click(w->cmdDelete());
    EXPECT_EQ(t.prompter.last().message.text, "Nothing selected for deletion");
    EXPECT_EQ(t.prompter.last().message.caption, "Error");
    t.prompter.clear();

    chooseAction(3);
    w->grdCost()->setCurrentCell(1, 2);
    t.prompter.answer(MsgAnswer::No).answer(MsgAnswer::Ok);
    click(w->cmdDelete());
    ASSERT_EQ(t.prompter.prompts().size(), 2u);
    const MessageRequest& question = t.prompter.prompts()[0].message;
    EXPECT_EQ(question.text, "Delete the cost estimate ($1,450.00) for DBH 12 to 24 inches \n"
                             "for ACTION==>03 - Remove Tree?");
    EXPECT_EQ(question.caption, "Confirm Delete?");
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_EQ(question.defaultButton, MsgAnswer::No);
    EXPECT_EQ(question.icon, MsgIcon::Question);
    EXPECT_EQ(t.prompter.last().message.text, "Deletion Cancelled");
    EXPECT_EQ(t.prompter.last().message.caption, "Cancelled");
    EXPECT_EQ(readCostRanges(*t.db, 3).size(), 2u);
    t.prompter.clear();

    t.prompter.answer(MsgAnswer::Yes);
    w->grdCost()->setCurrentCell(1, 1);
    click(w->cmdDelete());
    const std::vector<CostRange> left = readCostRanges(*t.db, 3);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].lower.toDouble(), 6);
    ASSERT_EQ(w->grdCost()->rowCount(), 1);
    EXPECT_EQ(gridRow(w->grdCost(), 0), QStringList({"6", "12", "200.00"}));
}

TEST_F(EnterCostsTest, ClosedWhileItsDeleteQuestionIsOpenItDeletesAsAnsweredThenCloses)
{
    addCostRange(*t.db, 3, 6, 12, 200);
    addCostRange(*t.db, 3, 12, 24, 1450);
    QtPrompter real;
    const AppContext context{*t.db, real, t.shell, t.drives, t.clock, t.dir.path(), t.settings, t.dir.path()};
    auto* w = new frmEnterCosts(context);
    w->setAttribute(Qt::WA_DeleteOnClose); // as every window is opened
    showActive(w);
    QPointer<frmEnterCosts> alive(w);
    w->cboAction()->setCurrentIndex(w->cboAction()->findData(3));
    w->grdCost()->setCurrentCell(1, 1);
    // While "Confirm Delete?" shows, the window is closed (an assistive
    // technology's close action), then Yes is pressed.
    bool stayed = false;
    std::function<void()> act = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, act);
            return;
        }
        EXPECT_EQ(box->windowTitle(), "Confirm Delete?");
        alive->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        stayed = alive && box->isVisible();
        box->button(QMessageBox::Yes)->click();
    };
    QTimer::singleShot(0, act);
    click(w->cmdDelete());
    EXPECT_TRUE(stayed);
    ASSERT_EQ(readCostRanges(*t.db, 3).size(), 1u) << "the answer was acted on";
    QTRY_VERIFY(alive.isNull());
}

TEST_F(EnterCostsTest, KeepsTheCostToMobilizeWhenItCloses)
{
    frmEnterCosts* w = open();
    // A negative cost is refused, and the window stays open on it.
    typeInto(w->txtMobilize(), "-50");
    t.prompter.answer(MsgAnswer::Ok);
    click(w->cmdSave());
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.text, "Please enter a cost to mobilize from $0 to $999,999,999");
    EXPECT_EQ(t.prompter.last().message.caption, "Error");
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->txtMobilize()->hasFocus());
    EXPECT_EQ(readMobilizationCost(*t.db), 0);
    t.prompter.clear();

    typeInto(w->txtMobilize(), "5.50");
    EXPECT_EQ(w->txtMobilize()->text(), "550") << "whole dollars";
    click(w->cmdSave());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(readMobilizationCost(*t.db), 550);
    window.reset();
    EXPECT_EQ(open()->txtMobilize()->text(), "550");
}

TEST_F(EnterCostsTest, StaysUsableWithoutAnyCorrectiveAction)
{
    t.db->exec("DELETE FROM _tblCorrAction");
    frmEnterCosts* w = open();
    EXPECT_EQ(w->cboAction()->count(), 0);
    EXPECT_EQ(w->grdCost()->rowCount(), 0);
    EXPECT_FALSE(w->cmdAdd()->isEnabled());
    EXPECT_FALSE(w->cmdDelete()->isEnabled());
    EXPECT_TRUE(w->cmdPrint()->isEnabled());
}

// ---------------------------------------------------------------- the period block

class PeriodBlockTest : public ::testing::Test {
protected:
    TestContext t;
    std::unique_ptr<QWidget> window;
    PeriodBlock* block = nullptr;
    QLineEdit* other = nullptr;

    void SetUp() override
    {
        t.clock.current = QDateTime(QDate(2007, 1, 15), QTime(9, 30));
        window = std::make_unique<QWidget>();
        block = new PeriodBlock(*t.db, t.prompter, t.clock, "Frame2", window.get());
        other = new QLineEdit(window.get());
        other->move(0, 200);
        showActive(window.get());
    }
    void choose(const QString& preset)
    {
        block->Combo1()->setCurrentIndex(block->Combo1()->findText(preset));
    }
    QString dates() const { return block->txtBegin()->text() + " | " + block->txtEnd()->text(); }
};

TEST_F(PeriodBlockTest, OpensOnTheLast365DaysAndAppliesThePresets)
{
    EXPECT_EQ(block->title(), "Include Tree Inventory Dates  ");
    EXPECT_EQ(block->Label3()->text(), "TO");
    EXPECT_EQ(block->Combo1()->count(), 11);
    EXPECT_EQ(block->Combo1()->currentText(), "Custom Date");
    EXPECT_EQ(dates(), "Jan 15 2006 | Jan 15 2007");
    choose("Last Quarter");
    EXPECT_EQ(dates(), "Oct 1, 2006 | Dec 31, 2006");
    choose("Custom Date");
    EXPECT_EQ(dates(), "Oct 1, 2006 | Dec 31, 2006") << "a custom date keeps the dates shown";

    // All on File: the first and last evaluation; none on file, no dates.
    choose("All on File");
    EXPECT_EQ(dates(), " | ");
    addTree(*t.db, {.evaluated = "2005-07-04 00:00:00"});
    addTree(*t.db, {.evaluated = "2006-12-01 16:00:00"});
    choose("Custom Date");
    choose("All on File");
    EXPECT_EQ(dates(), "Jul 4, 2005 | Dec 1, 2006");

    // All on File stays so while its dates do, whichever form they show in.
    EXPECT_TRUE(block->allOnFile());
    block->txtBegin()->setFocus();
    QTest::keyClick(block->txtBegin(), Qt::Key_Tab);
    EXPECT_EQ(block->txtBegin()->text(), "Jul 04 2005");
    EXPECT_TRUE(block->allOnFile());
    typeInto(block->txtEnd(), "Dec 2 2006");
    EXPECT_FALSE(block->allOnFile()) << "another date typed";
    typeInto(block->txtEnd(), "12/1/2006");
    EXPECT_TRUE(block->allOnFile());
    choose("Last Year");
    EXPECT_FALSE(block->allOnFile());
}

TEST_F(PeriodBlockTest, ChecksATypedDateWhenItsBoxLosesTheFocus)
{
    const struct {
        const char* typed;
        const char* shown; // nullptr: refused
    } cases[] = {
        {"Feb 30 2007", nullptr},    {"13/1/2007", nullptr},           {"tomorrow", nullptr},
        {"1/5/2007", "Jan 05 2007"}, {"Jan 5, 2007", "Jan 05 2007"}, {"2007-01-15", "Jan 15 2007"},
        {"", ""},
    };
    for (QLineEdit* box : {block->txtBegin(), block->txtEnd()}) {
        for (const auto& c : cases) {
            typeInto(box, QString::fromLatin1(c.typed));
            if (!c.shown)
                t.prompter.answer(MsgAnswer::Ok);
            QTest::keyClick(box, Qt::Key_Tab);
            if (c.shown) {
                EXPECT_TRUE(t.prompter.prompts().empty()) << c.typed;
                EXPECT_EQ(box->text(), QString::fromLatin1(c.shown));
            } else {
                ASSERT_EQ(t.prompter.prompts().size(), 1u) << c.typed;
                EXPECT_EQ(t.prompter.last().message.text, "Entry in Date Field MUST be a Valid Date");
                EXPECT_EQ(t.prompter.last().message.caption, "DATE ERROR");
                EXPECT_EQ(box->text(), QString::fromLatin1(c.typed)) << "kept as typed";
                EXPECT_TRUE(box->hasFocus()) << "back in the box";
            }
            t.prompter.clear();
        }
    }
    EXPECT_EQ(block->Combo1()->currentText(), "Custom Date") << "typing chooses no preset";

    // Two wrong dates: one message, the focus back where it was.
    block->txtEnd()->setText("tomorrow");
    typeInto(block->txtBegin(), "Feb 30 2007");
    t.prompter.answer(MsgAnswer::Ok);
    QTest::keyClick(block->txtBegin(), Qt::Key_Tab);
    EXPECT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_TRUE(block->txtBegin()->hasFocus());
}

// ---------------------------------------------------------------- frmExcelExport

class ExcelExportTest : public ::testing::Test {
protected:
    TestContext t;
    std::unique_ptr<frmExcelExport> window;

    void SetUp() override
    {
        t.clock.current = QDateTime(QDate(2007, 6, 1), QTime(9, 30));
        addTree(*t.db, {.treeId = 1, .evaluated = "2007-03-05 14:20:00"});
        addTree(*t.db, {.treeId = 2, .evaluated = "2007-03-06 00:00:00"});
        window = std::make_unique<frmExcelExport>(t.context());
        showActive(window.get());
    }
    void setDates(const QString& begin, const QString& end)
    {
        window->periodBlock()->txtBegin()->setText(begin);
        window->periodBlock()->txtEnd()->setText(end);
    }
    bool runExport()
    {
        QSignalSpy finished(window.get(), &frmExcelExport::exportFinished);
        click(window->cmdDoIt());
        return finished.count() > 0 || finished.wait(20000);
    }
};

TEST_F(ExcelExportTest, AsksWhereAndWritesTheFile)
{
    EXPECT_EQ(window->windowTitle(), "Excel Export");
    EXPECT_EQ(window->cmdDoIt()->text(), "&Create File");
    EXPECT_EQ(window->Command1()->text(), "E&xit");
    setDates("Mar 6 2007", "Mar 6 2007");
    const QString path = t.dir.filePath("march.csv");
    t.prompter.answerFile(path).answer(MsgAnswer::Ok);
    ASSERT_TRUE(runExport());
    ASSERT_EQ(t.prompter.prompts().size(), 2u);
    const FileDialogRequest& dialog = t.prompter.prompts()[0].file;
    EXPECT_EQ(dialog.title, "Where do you want to place the CSV file?");
    EXPECT_EQ(dialog.filter, "Excel CSV Files(*.csv)");
    EXPECT_EQ(dialog.defaultSuffix, "CSV");
    EXPECT_EQ(dialog.proposedName, "*.csv");
    EXPECT_EQ(dialog.folder, t.dir.path());
    EXPECT_EQ(t.prompter.last().message.text, path + " created!");
    EXPECT_EQ(t.prompter.last().message.caption, "Excel CSV File Created");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Information);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3) << "header, the tree of midnight on the 6th, and the end";
    EXPECT_TRUE(lines[1].contains("\"03/06/2007\""));
    EXPECT_TRUE(window->cmdDoIt()->isEnabled());
}

TEST_F(ExcelExportTest, AllOnFileWritesEveryRecordForASpreadsheet)
{
    addTree(*t.db, {.treeId = 3, .evaluated = "2007-04-01 10:00:00"});
    t.db->exec("UPDATE _Archived_SurveyData SET Date_Evaluated = NULL WHERE Tree_ID = 3");
    EXPECT_TRUE(window->chkSpreadsheet()->isChecked()) << "for a spreadsheet unless cleared";
    EXPECT_EQ(window->chkSpreadsheet()->text(), "Write the file for a &spreadsheet");
    PeriodBlock* block = window->periodBlock();
    block->Combo1()->setCurrentIndex(block->Combo1()->findText("All on File"));
    EXPECT_EQ(block->txtBegin()->text() + " | " + block->txtEnd()->text(), "Mar 5, 2007 | Mar 6, 2007");

    const QString path = t.dir.filePath("all.csv");
    t.prompter.answerFile(path).answer(MsgAnswer::Ok);
    ASSERT_TRUE(runExport());
    EXPECT_EQ(t.prompter.last().message.text,
              path + " created!\n\n1 record has no evaluation date; its Date is empty.");
    const auto lines = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
    };
    QList<QByteArray> written = lines();
    ASSERT_EQ(written.size(), 5);
    EXPECT_TRUE(written[0].startsWith("\xEF\xBB\xBF\"Surveyor\""));
    EXPECT_TRUE(written[3].startsWith("\"SMITH\",\"\",")) << written[3].toStdString();

    // The same dates typed by hand are a period: the tree without a date is not in it.
    QTest::keyClick(window.get(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->chkSpreadsheet()->isChecked(); })) << "cleared by its access key";
    block->Combo1()->setCurrentIndex(0);
    block->txtEnd()->setText("Mar 7 2007");
    t.prompter.answerFile(path).answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    ASSERT_TRUE(runExport());
    EXPECT_EQ(t.prompter.last().message.text, path + " created!");
    written = lines();
    ASSERT_EQ(written.size(), 4);
    EXPECT_TRUE(written[0].startsWith("\"Surveyor\"")) << "no byte-order mark";
}

TEST_F(ExcelExportTest, AFullDiskGivesTheSystemsReasonAndKeepsTheOldFile)
{
    const QString folder = fullDiskFolder();
    if (folder.isEmpty())
        return;
    const QString path = folder + "/trees.csv";
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old export\r\n");
    }
    fillFileSystem(folder);
    setDates("Mar 5 2007", "Mar 6 2007");
    t.prompter.answerFile(path).answer(MsgAnswer::Yes).answer(MsgAnswer::Ok); // overwrite it
    ASSERT_TRUE(runExport());
    EXPECT_EQ(t.prompter.last().message.text, "28 - Could not write trees.csv: No space left on device");
    EXPECT_EQ(t.prompter.last().message.caption, "Error");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old export\r\n");
    EXPECT_TRUE(leftTemporaryFiles(folder).isEmpty());
    EXPECT_TRUE(window->cmdDoIt()->isEnabled());
}

TEST_F(ExcelExportTest, RefusesBadDatesBeforeAskingForAFile)
{
    const struct {
        const char* begin;
        const char* end;
        const char* message;
        const char* focus;
    } cases[] = {
        {"", "Mar 6 2007", "You must select a date range", "txtBegin"},
        {"Mar 7 2007", "Mar 6 2007", "Something is wrong with your date range", "txtEnd"},
        {"Mar 7 2007", "Feb 30 2007", "Entry in Date Field MUST be a Valid Date", "txtEnd"},
    };
    for (const auto& c : cases) {
        setDates(c.begin, c.end);
        t.prompter.answer(MsgAnswer::Ok);
        click(window->cmdDoIt());
        ASSERT_EQ(t.prompter.prompts().size(), 1u) << c.message;
        EXPECT_EQ(t.prompter.last().message.text, c.message);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), c.focus);
        EXPECT_TRUE(window->cmdDoIt()->isEnabled());
        t.prompter.clear();
    }
}

TEST_F(ExcelExportTest, LeavesAnOldFileAloneUnlessAllIsWritten)
{
    const QString path = t.dir.filePath("old.csv");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    const auto oldKept = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && f.readAll() == "old";
    };
    // A cancelled dialog: nothing at all.
    t.prompter.answerFile("");
    click(window->cmdDoIt());
    t.prompter.answerFile("*.csv");
    click(window->cmdDoIt());
    EXPECT_EQ(t.prompter.prompts().size(), 2u) << "two dialogs, no message";
    t.prompter.clear();

    // No to the overwrite question.
    t.prompter.answerFile(path).answer(MsgAnswer::No);
    click(window->cmdDoIt());
    EXPECT_EQ(t.prompter.last().message.text, path + " already exists! Overwrite it?");
    EXPECT_EQ(t.prompter.last().message.caption, "Overwrite File?");
    EXPECT_EQ(t.prompter.last().message.defaultButton, MsgAnswer::No);
    EXPECT_TRUE(oldKept());
    t.prompter.clear();

    // Yes, but the period holds no tree.
    setDates("Jan 1 2001", "Dec 31 2001");
    t.prompter.answerFile(path).answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    ASSERT_TRUE(runExport());
    EXPECT_EQ(t.prompter.last().message.text, "No trees meet your selection criteria!");
    EXPECT_EQ(t.prompter.last().message.caption, "No Data");
    EXPECT_TRUE(oldKept());
    t.prompter.clear();

    // A folder that does not exist: the failure's number and description.
    setDates("Jan 1 2007", "Dec 31 2007");
    t.prompter.answerFile(t.dir.filePath("missing/trees.csv")).answer(MsgAnswer::Ok);
    ASSERT_TRUE(runExport());
    EXPECT_EQ(t.prompter.last().message.caption, "Error");
    EXPECT_TRUE(t.prompter.last().message.text.contains(QRegularExpression("^\\d+ - .+"))) << t.prompter.last().message.text.toStdString();
    EXPECT_TRUE(window->cmdDoIt()->isEnabled());
}

} // namespace
