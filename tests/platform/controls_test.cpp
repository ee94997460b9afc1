// The control factory: every control carries its object name and the name a
// screen reader reads out, and a label's access key reaches its box.

#include "platform/controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

TEST(Controls, PlainCaptionDropsTheAccessKeyMarks)
{
    const struct {
        const char* caption;
        const char* plain;
    } cases[] = {{"&Save", "Save"}, {"E&xit", "Exit"}, {"A&&B", "A&B"}, {"", ""}, {"End&", "End"}, {"No key", "No key"}};
    for (const auto& c : cases)
        EXPECT_EQ(plainCaption(c.caption), c.plain) << c.caption;
}

TEST(Controls, EachCarriesItsNames)
{
    QWidget window;
    QLabel* label = makeLabel("lblName", "Name", &window);
    QPushButton* button = makeButton("cmdAdd", "&Add", &window);
    QLineEdit* box = makeTextBox("txtName", "Street name", &window);
    QListWidget* list = makeCheckList("lstStreets", "Streets", &window);
    EXPECT_EQ(label->objectName(), "lblName");
    EXPECT_EQ(label->text(), "Name");
    EXPECT_EQ(button->objectName(), "cmdAdd");
    EXPECT_EQ(button->text(), "&Add");
    EXPECT_FALSE(button->autoDefault());
    EXPECT_EQ(box->objectName(), "txtName");
    EXPECT_EQ(box->accessibleName(), "Street name");
    EXPECT_EQ(list->objectName(), "lstStreets");
    EXPECT_EQ(list->accessibleName(), "Streets");
    for (QWidget* w : std::initializer_list<QWidget*>{label, button, box, list})
        EXPECT_EQ(w->parentWidget(), &window) << w->objectName().toStdString();
}

TEST(Controls, TheLabelsAccessKeyMovesToItsBox)
{
    QWidget window;
    const LabelledTextBox first = makeLabelledTextBox("lblFind", " &Find ", "txtFind", &window);
    QLineEdit* other = makeTextBox("txtOther", "Other", &window);
    EXPECT_EQ(first.label->buddy(), first.box);
    EXPECT_EQ(first.box->objectName(), "txtFind");
    EXPECT_EQ(first.box->accessibleName(), "Find");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(first.box->hasFocus());
}

TEST(Controls, AnIntegerBoxTakesDigitsAndMinusOnly)
{
    QLineEdit* box = makeIntegerBox("txtRating", "Rating", nullptr);
    std::unique_ptr<QLineEdit> owner(box);
    box->show();
    QTest::keyClicks(box, "-1a2.5 x");
    EXPECT_EQ(box->text(), "-125");
    EXPECT_EQ(box->accessibleName(), "Rating");
}

TEST(Controls, ACheckListItemCarriesItsTick)
{
    QListWidget* list = makeCheckList("lstStreets", "Streets", nullptr);
    std::unique_ptr<QListWidget> owner(list);
    addCheckItem(list, "MAIN ST", true);
    addCheckItem(list, "OAK AVE", false);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(list->item(1)->flags() & Qt::ItemIsUserCheckable);
}

} // namespace
