// The editors of the surveyor, species and risk zone lists, driven through
// their controls, with the prompts answered by the scripted prompter.

#include "lists/frmLookupList.h"
#include "tests/support/dbrules.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

#include <memory>

using namespace kolva;
using namespace kolva::test;

namespace {

QStringList storedNames(Database& db, const QString& table)
{
    QStringList names;
    QSqlQuery q = db.query(QStringLiteral("SELECT Description FROM %1 ORDER BY Description, ID").arg(table));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

class LookupListTest : public ::testing::TestWithParam<LookupKind> {
protected:
    ~LookupListTest() override
    {
        window.reset();
        settle();
    }
    const LookupListInfo& info() const { return lookupListInfo(GetParam()); }
    // Replaces the table's rows by these names.
    void fill(const QStringList& names)
    {
        t.db->exec(QStringLiteral("DELETE FROM %1").arg(info().table));
        for (const QString& name : names)
            t.db->exec(QStringLiteral("INSERT INTO %1 (Description) VALUES (?)").arg(info().table), {name});
    }
    frmLookupList* open()
    {
        window = std::make_unique<frmLookupList>(t.context(), GetParam());
        window->show();
        QApplication::setActiveWindow(window.get());
        settle();
        return window.get();
    }
    template <class T = QWidget>
    T* c(const QString& name)
    {
        return child<T>(window.get(), name);
    }
    void click(const QString& name) { QTest::mouseClick(c(name), Qt::LeftButton); }
    void type(const QString& box, const QString& text)
    {
        c<QLineEdit>(box)->clear();
        QTest::keyClicks(c(box), text);
    }
    QString currentName() const
    {
        const int row = window->currentRow();
        return row < 0 ? QString() : window->model()->rowAt(row).description;
    }
    QStringList stored() { return storedNames(*t.db, info().table); }

    TestContext t;
    std::unique_ptr<frmLookupList> window;
};

INSTANTIATE_TEST_SUITE_P(AllThree, LookupListTest,
                         ::testing::Values(LookupKind::Surveyors, LookupKind::Species, LookupKind::RiskZone),
                         [](const auto& info) { return lookupListInfo(info.param).table.toStdString(); });

TEST_P(LookupListTest, ShowsTheListInNameOrderWithItsCaptions)
{
    fill({"ZED", "adams", "MILLER"});
    EXPECT_EQ(std::make_unique<frmLookupList>(t.context(), GetParam())->windowTitle(), info().designCaption);
    open();
    const char* captions[] = {"Surveyor List", "Species List", "Add/Edit/Delete Risk Zones"};
    EXPECT_EQ(window->windowTitle(), captions[int(GetParam())]);
    EXPECT_EQ(window->objectName(), info().windowName);
    auto* grid = c<QTableView>("DBGrid1");
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), info().columnHeader);
    EXPECT_EQ(grid->accessibleName(), info().columnHeader);
    ASSERT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "adams") << "ordered without regard to case";
    EXPECT_EQ(grid->model()->index(2, 0).data().toString(), "ZED");
    EXPECT_EQ(window->currentRow(), 0);
    EXPECT_TRUE(c("frameMain")->isVisible());
    EXPECT_FALSE(c("frameEdit")->isVisible());
    EXPECT_EQ(c<QGroupBox>("Frame1")->title(), "Find ");
    const std::pair<const char*, const char*> buttons[] = {{"cmdFind", "&Find"}, {"cmdAdd", "&Add"},
                                                           {"cmdEdit", "&Edit"}, {"cmdDelete", "&Delete"},
                                                           {"cmdExit", "E&xit"}, {"cmdSave", "&Save"},
                                                           {"cmdCancel", "&Cancel"}};
    for (const auto& [name, text] : buttons)
        EXPECT_EQ(c<QPushButton>(name)->text(), text);
    EXPECT_EQ(c<QLabel>("Label2")->text(), "Name");
    EXPECT_EQ(c("txtDescription")->accessibleName(), "Name");
    EXPECT_EQ(c("txtFind")->accessibleName(), "Find");
    EXPECT_TRUE(c("cmdEdit")->isEnabled());
    EXPECT_TRUE(c("cmdDelete")->isEnabled());
}

TEST_P(LookupListTest, AddTurnsTypedTextIntoCapitalsAndMakesTheNewRowCurrent)
{
    fill({"ALPHA", "ZULU"});
    open();
    click("cmdAdd");
    EXPECT_FALSE(c("frameMain")->isVisible());
    EXPECT_TRUE(c("frameEdit")->isVisible());
    EXPECT_EQ(c<QGroupBox>("frameEdit")->title(), "Adding ");
    EXPECT_TRUE(c<QLineEdit>("txtDescription")->text().isEmpty());
    QTest::keyClicks(c("txtDescription"), "o'neil, p");
    EXPECT_EQ(c<QLineEdit>("txtDescription")->text(), "O'NEIL, P") << "upper case while typing";
    // Enter moves on to Save, as Tab does; Enter on Save presses it.
    QTest::keyClick(c("txtDescription"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), c("cmdSave"));
    QTest::keyClick(c("cmdSave"), Qt::Key_Return);
    EXPECT_EQ(stored(), QStringList({"ALPHA", "O'NEIL, P", "ZULU"}));
    EXPECT_TRUE(c("frameMain")->isVisible());
    EXPECT_EQ(currentName(), "O'NEIL, P");
    EXPECT_TRUE(t.prompter.prompts().empty());
}

TEST_P(LookupListTest, BlankNamesAreRefusedAndNamesAreStoredWithoutSurroundingBlanks)
{
    fill({});
    open();
    EXPECT_FALSE(c("cmdEdit")->isEnabled());
    EXPECT_FALSE(c("cmdDelete")->isEnabled());
    click("cmdAdd");
    QTest::keyClicks(c("txtDescription"), "   ");
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdSave");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    const MessageRequest& m = t.prompter.last().message;
    EXPECT_EQ(m.text, "Name Cannot be Blank.");
    EXPECT_EQ(m.caption, "Name Error");
    EXPECT_EQ(m.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(window->editing());
    EXPECT_EQ(QApplication::focusWidget(), c("txtDescription"));
    EXPECT_TRUE(stored().isEmpty());

    type("txtDescription", "  lee  ");
    click("cmdSave");
    EXPECT_EQ(stored(), QStringList({"LEE"}));
    EXPECT_TRUE(c("cmdEdit")->isEnabled());
    EXPECT_TRUE(c("cmdDelete")->isEnabled());
}

TEST_P(LookupListTest, EditRenamesTheCurrentRowAndCancelDiscardsTheChange)
{
    fill({"ALPHA", "BRAVO", "CHARLIE"});
    open();
    QTest::mouseClick(c<QTableView>("DBGrid1")->viewport(), Qt::LeftButton, {},
                      c<QTableView>("DBGrid1")->visualRect(window->model()->index(1, 0)).center());
    ASSERT_EQ(currentName(), "BRAVO");
    click("cmdEdit");
    EXPECT_EQ(c<QGroupBox>("frameEdit")->title(), "Editing");
    EXPECT_EQ(c<QLineEdit>("txtDescription")->text(), "BRAVO");
    EXPECT_EQ(QApplication::focusWidget(), c("txtDescription"));
    type("txtDescription", "xray");
    click("cmdCancel");
    EXPECT_EQ(stored(), QStringList({"ALPHA", "BRAVO", "CHARLIE"}));
    EXPECT_EQ(currentName(), "BRAVO");

    click("cmdEdit");
    type("txtDescription", "xray");
    click("cmdSave");
    EXPECT_EQ(stored(), QStringList({"ALPHA", "CHARLIE", "XRAY"}));
    EXPECT_EQ(currentName(), "XRAY") << "the row just written is current at its new place";

    click("cmdAdd");
    QTest::keyClicks(c("txtDescription"), "never");
    click("cmdCancel");
    EXPECT_EQ(stored(), QStringList({"ALPHA", "CHARLIE", "XRAY"}));
    EXPECT_FALSE(window->editing());
}

TEST_P(LookupListTest, FindTakesTheBeginningWithAStarForAnyRun)
{
    fill({"SMITH J", "SMALL A", "O'NEIL P", "100% OAK", "A_B", "AXB", "JONES", "SAM HILL"});
    open();
    const struct {
        const char* find;
        const char* found; // nullptr: not found
    } cases[] = {
        {"sm", "SMALL A"},     // the first in name order; typed in capitals
        {"S*H", "SAM HILL"},   // "*" any run: SAM HILL comes before SMITH J
        {"*NEIL", "O'NEIL P"}, // "*" at the start
        {"O'", "O'NEIL P"},    // an apostrophe is a character like any other
        {"100%", "100% OAK"},
        {"%", nullptr},        // "%" and "_" are no wildcards
        {"A_", "A_B"},
        {"_", nullptr},
        {"*", "100% OAK"},
        {"JONESY", nullptr},
    };
    for (const auto& k : cases) {
        t.prompter.clear();
        if (!k.found)
            t.prompter.answer(MsgAnswer::Ok);
        type("txtFind", k.find);
        QTest::keyClick(c("txtFind"), Qt::Key_Return);
        const QString typed = QString::fromUtf8(k.find).toUpper();
        if (k.found) {
            EXPECT_EQ(currentName(), k.found) << k.find;
            EXPECT_TRUE(c<QLineEdit>("txtFind")->text().isEmpty()) << k.find;
            EXPECT_TRUE(t.prompter.prompts().empty()) << k.find;
        } else {
            ASSERT_EQ(t.prompter.prompts().size(), 1u) << k.find;
            EXPECT_EQ(t.prompter.last().message.text, "Name : " + typed + " was NOT found.");
            EXPECT_EQ(t.prompter.last().message.caption, "Not Found");
            EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Information);
            EXPECT_EQ(c<QLineEdit>("txtFind")->text(), typed) << "the search text stays";
        }
    }
    t.prompter.clear();
    c<QLineEdit>("txtFind")->clear();
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdFind");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.text, "Nothing to find. Please enter a search code");
    EXPECT_EQ(t.prompter.last().message.caption, "Search Error");
    EXPECT_EQ(QApplication::focusWidget(), c("txtFind"));
}

TEST_P(LookupListTest, DeleteAsksAndSetsTheCurrentRowAsEachListDoes)
{
    fill({"A1", "B2", "C3", "D4"});
    open();
    const auto select = [this](int row) {
        auto* grid = c<QTableView>("DBGrid1");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(window->model()->index(row, 0)).center());
    };
    const bool keepsPosition = GetParam() == LookupKind::Species;

    select(2);
    t.prompter.answer(MsgAnswer::No);
    click("cmdDelete");
    const MessageRequest& m = t.prompter.last().message;
    EXPECT_EQ(m.text, "Delete  C3?\n               ARE YOU SURE? ");
    EXPECT_EQ(m.caption, "Confirm Delete");
    EXPECT_EQ(m.buttons, MsgButtons::YesNo);
    EXPECT_EQ(m.icon, MsgIcon::Question);
    EXPECT_EQ(stored().size(), 4);
    EXPECT_EQ(currentName(), keepsPosition ? "C3" : "A1");

    select(1);
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdDelete");
    EXPECT_EQ(stored(), QStringList({"A1", "C3", "D4"}));
    EXPECT_EQ(currentName(), keepsPosition ? "C3" : "A1") << "the row at the deleted row's position";

    select(2);
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdDelete");
    EXPECT_EQ(stored(), QStringList({"A1", "C3"}));
    EXPECT_EQ(currentName(), keepsPosition ? "C3" : "A1") << "the last row when the last was deleted";

    for (int left = 2; left > 0; --left) {
        t.prompter.answer(MsgAnswer::Yes);
        click("cmdDelete");
    }
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_EQ(window->currentRow(), -1);
    EXPECT_FALSE(c("cmdEdit")->isEnabled());
    EXPECT_FALSE(c("cmdDelete")->isEnabled());
}

TEST_P(LookupListTest, AWriteErrorAsksToTryAgainAndLosesNothing)
{
    fill({"ALPHA"});
    open();
    refuseWrites(*t.db, "refuse", Write::Insert, info().table, "the disk is full");
    click("cmdAdd");
    QTest::keyClicks(c("txtDescription"), "bravo");
    t.prompter.answer(MsgAnswer::No);
    click("cmdSave");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    const MessageRequest& m = t.prompter.last().message;
    EXPECT_EQ(m.text, "A Data Error Has Occurred! the disk is full\nDo you want to try again?");
    EXPECT_EQ(m.caption, "Error");
    EXPECT_EQ(m.buttons, MsgButtons::YesNo);
    EXPECT_EQ(m.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(window->editing()) << "No: the typed name stays to correct or cancel";
    EXPECT_EQ(c<QLineEdit>("txtDescription")->text(), "BRAVO");

    // The cause goes away while the question shows; Yes writes the name.
    t.prompter.onPrompt = [this](const PromptRecord&) { allowWrites(*t.db, "refuse", info().table); };
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdSave");
    EXPECT_EQ(stored(), QStringList({"ALPHA", "BRAVO"}));
    EXPECT_FALSE(window->editing());
    EXPECT_EQ(currentName(), "BRAVO");
}

TEST_P(LookupListTest, AccessKeysOfTheCaptionsWork)
{
    fill({"ALPHA"});
    open();
    // An access key presses its button as a click does: the button shows
    // itself pressed for a moment before it acts, so each step waits for its
    // effect rather than for a fixed time.
    const auto press = [this](Qt::Key key, const std::function<bool()>& done) {
        QTest::keyClick(window.get(), key, Qt::AltModifier);
        return QTest::qWaitFor(done, 5000);
    };
    ASSERT_TRUE(press(Qt::Key_A, [this] { return window->editing(); })) << "&Add";
    QTest::keyClicks(c("txtDescription"), "bravo");
    EXPECT_TRUE(press(Qt::Key_S, [this] { return stored() == QStringList({"ALPHA", "BRAVO"}); })) << "&Save";
    EXPECT_TRUE(press(Qt::Key_E, [this] { return window->editing(); })) << "&Edit";
    EXPECT_TRUE(press(Qt::Key_C, [this] { return !window->editing(); })) << "&Cancel";
    t.prompter.answer(MsgAnswer::No);
    const auto prompted = [this](const char* caption) {
        return [this, caption] {
            return !t.prompter.prompts().empty() && t.prompter.last().message.caption == QLatin1String(caption);
        };
    };
    EXPECT_TRUE(press(Qt::Key_D, prompted("Confirm Delete"))) << "&Delete";
    t.prompter.answer(MsgAnswer::Ok);
    EXPECT_TRUE(press(Qt::Key_F, prompted("Search Error"))) << "&Find";
    EXPECT_EQ(QApplication::focusWidget(), c("txtFind")) << "&Find, with the box empty, asks and goes to the box";
    EXPECT_TRUE(press(Qt::Key_X, [this] { return !window->isVisible(); })) << "E&xit";
}

TEST(LookupNames, BeginningPatterns)
{
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"SMITH", "SM", true},    {"SMITH", "sm", true},  {"ASMITH", "SM", false}, {"SMITH", "S*TH", true},
        {"SMITH", "S*X", false},  {"SMITH", "**", true},  {"S*MITH", "S*", true},  {"SMITH", "SMITHS", false},
        {"A%B", "A%", true},      {"AXB", "A%", false},   {"A_B", "A_", true},     {"AXB", "A_", false},
        {"O'NEIL", "O'N", true},  {"SMITH", "", true},    {"S-T-A", "S*T*A", true}, {"STA", "S*T*T", false},
    };
    for (const auto& k : cases)
        EXPECT_EQ(nameBeginsWith(k.name, k.pattern), k.matches) << k.name << " / " << k.pattern;
}

} // namespace
