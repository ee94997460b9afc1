// The record binder of the Tree editor: what each kind of control shows of a
// stored value, and that only what the user changed is written back.

#include "trees/datebox.h"
#include "trees/editorcontrols.h"
#include "trees/treerecordbinder.h"
#include "tests/trees/treetestdata.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kolva;

namespace {

struct BinderCase {
    const char* name;
    const char* column;
    QVariant stored;
    // Makes the control under parent; edits it as a user would.
    std::function<QWidget*(QWidget* parent)> make;
    std::function<void(QWidget* control)> edit;
    QString written; // the value to store after the edit, as text
};

QWidget* lineEdit(QWidget* parent)
{
    return new QLineEdit(parent);
}

QWidget* list(QWidget* parent, bool typingAllowed)
{
    QComboBox* made = makeList(QStringLiteral("list"), QStringLiteral("list"), typingAllowed, parent);
    made->addItems({QStringLiteral("Red Maple"), QStringLiteral("GIBI-GINKGO")});
    return made;
}

const BinderCase binderCases[] = {
    {"TextBox", "Site", "LAWN", lineEdit, [](QWidget* c) { static_cast<QLineEdit*>(c)->setText("MEDIAN"); }, "MEDIAN"},
    {"WholeNumber", "DBH", 14, lineEdit, [](QWidget* c) { static_cast<QLineEdit*>(c)->setText("15"); }, "15"},
    {"ListWithTyping", "Surveyor", "J SMITH", [](QWidget* p) { return list(p, true); },
     [](QWidget* c) { static_cast<QComboBox*>(c)->setEditText("K JONES"); }, "K JONES"},
    {"ListOfEntries", "Species", "Red Maple", [](QWidget* p) { return list(p, false); },
     [](QWidget* c) { static_cast<QComboBox*>(c)->setCurrentIndex(1); }, "GIBI-GINKGO"},
    {"Date", "Date_Evaluated", "2009-05-12 14:20:00", [](QWidget* p) { return new DateBox(p); },
     [](QWidget* c) { static_cast<DateBox*>(c)->setDate(QDate(2010, 1, 2)); }, "2010-01-02 14:20:00"},
    {"MultiLine", "Note", "first line", [](QWidget* p) { return new LimitedTextEdit(255, p); },
     [](QWidget* c) { static_cast<LimitedTextEdit*>(c)->setPlainText("first line, more"); }, "first line, more"},
    {"Label", "Hazard_Rating", 5, [](QWidget* p) { return new QLabel(p); },
     [](QWidget* c) { static_cast<QLabel*>(c)->setText("9"); }, "9"},
};

class RecordBinder : public ::testing::TestWithParam<BinderCase> {
protected:
    void SetUp() override
    {
        control = GetParam().make(&parent);
        binder.bind(GetParam().column, control);
        binder.show({{GetParam().column, GetParam().stored}});
    }
    QWidget parent;
    QWidget* control = nullptr;
    TreeRecordBinder binder;
};

TEST_P(RecordBinder, AShownRecordIsUnchangedUntilTheUserEditsItAndSavedItIsUnchangedAgain)
{
    const BinderCase& c = GetParam();
    EXPECT_FALSE(binder.isDirty());
    EXPECT_TRUE(binder.changes().empty());

    c.edit(control);
    EXPECT_TRUE(binder.isDirty());
    const auto changes = binder.changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].first, c.column);
    EXPECT_EQ(changes[0].second.toString(), c.written);

    binder.saved({{c.column, changes[0].second}});
    EXPECT_FALSE(binder.isDirty());
    EXPECT_EQ(binder.stored().at(c.column).toString(), c.written);
}

TEST_P(RecordBinder, NoRecordShowsEveryControlEmptyAndUnchanged)
{
    binder.showNone();
    EXPECT_FALSE(binder.isDirty());
    EXPECT_TRUE(binder.stored().empty());
    GetParam().edit(control);
    EXPECT_TRUE(binder.isDirty());
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfControl, RecordBinder, ::testing::ValuesIn(binderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecordBinderTest, OnlyTheColumnsTheUserChangedAreWrittenAndTypingBackTheShownValueIsNoChange)
{
    QWidget parent;
    auto* site = new QLineEdit(&parent);
    auto* dbh = new QLineEdit(&parent);
    TreeRecordBinder binder;
    binder.bind("Site", site, 15);
    binder.bind("DBH", dbh, 8);
    binder.show({{"Site", "LAWN"}, {"DBH", 14}});
    dbh->setText("16");
    ASSERT_EQ(binder.changes().size(), 1u);
    EXPECT_EQ(binder.changes()[0].first, "DBH");
    dbh->setText("14");
    EXPECT_FALSE(binder.isDirty()) << "the value shown again";
    EXPECT_EQ(binder.controlOf("DBH"), dbh);
    EXPECT_EQ(binder.controlOf("Note"), nullptr);
}

TEST(RecordBinderTest, ABoxTakesItsMostTypedCharactersButShowsALongerStoredValueWhole)
{
    QWidget parent;
    auto* site = new QLineEdit(&parent);
    TreeRecordBinder binder;
    binder.bind("Site", site, 15);
    const struct {
        QString stored;
        int maxLength;
    } cases[] = {{QString(15, 'A'), 15}, {QString(16, 'B'), 16}, {"LAWN", 15}};
    for (const auto& c : cases) {
        binder.show({{"Site", c.stored}});
        EXPECT_EQ(site->text(), c.stored);
        EXPECT_EQ(site->maxLength(), c.maxLength) << c.stored.toStdString();
        EXPECT_FALSE(binder.isDirty());
    }
}

TEST(RecordBinderTest, AListOfEntriesOffersAStoredNameItLacksAndShowingItIsNoChange)
{
    QWidget parent;
    QComboBox* species = makeList("cboSpecies", "Species", false, &parent);
    species->addItem("Red Maple");
    TreeRecordBinder binder;
    binder.bind("Species", species);
    binder.show({{"Species", "red maple"}});
    EXPECT_EQ(species->currentText(), "red maple");
    EXPECT_EQ(species->count(), 2);
    EXPECT_FALSE(binder.isDirty());
}

TEST(RecordBinderTest, AValueAnotherWindowStoredIsTheOriginalOfTheNextSave)
{
    QWidget parent;
    auto* date = new DateBox(&parent);
    TreeRecordBinder binder;
    binder.bind("Date_Evaluated", date);
    binder.show({{"Date_Evaluated", "2009-05-12 14:20:00"}});
    binder.acceptStored("Date_Evaluated", "2009-05-13 08:00:00");
    date->setDate(QDate(2009, 6, 1));
    ASSERT_EQ(binder.changes().size(), 1u);
    EXPECT_EQ(binder.changes()[0].second.toString(), "2009-06-01 08:00:00") << "the time of the value stored now";
}

} // namespace
