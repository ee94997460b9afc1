#include "platform/drivelist.h"
#include "tests/support/fakes.h"
#include "tests/support/scriptedprompter.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

class DriveListTest : public ::testing::Test {
protected:
    DriveListTest()
    {
        drives.list = {{"/", "", true}, {"/media/crew/CARD", "CARD", false}};
    }
    FakeDrives drives;
    ScriptedPrompter prompter;
};

QStringList entries(const DriveList& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.itemText(i);
    return texts;
}

TEST_F(DriveListTest, ListsTheVolumesAndSelectsTheFirstCard)
{
    DriveList list(drives, prompter);
    EXPECT_EQ(entries(list), QStringList({"/", "/media/crew/CARD  [CARD]", DriveList::otherFolderText()}));
    EXPECT_EQ(list.selectedRoot(), "/media/crew/CARD");
    EXPECT_FALSE(list.selectedIsSystem());
    list.setCurrentIndex(0);
    EXPECT_EQ(list.selectedRoot(), "/");
    EXPECT_TRUE(list.selectedIsSystem());
}

TEST_F(DriveListTest, WithoutACardTheSystemVolumeIsSelected)
{
    drives.list = {{"/", "", true}};
    DriveList list(drives, prompter);
    EXPECT_TRUE(list.selectedIsSystem());
}

TEST_F(DriveListTest, ACardInsertedLaterShowsOnlyAfterRefresh)
{
    drives.list = {{"/", "", true}};
    DriveList list(drives, prompter);
    drives.list.append({"/media/crew/NEW", "NEW", false});
    EXPECT_EQ(list.count(), 2) << "not yet listed";
    list.refresh();
    EXPECT_EQ(list.count(), 3);
    EXPECT_TRUE(entries(list).contains("/media/crew/NEW  [NEW]"));
    EXPECT_EQ(list.selectedRoot(), "/media/crew/NEW") << "the card inserted replaces the system volume";

    // A card the user chose is kept.
    drives.list.append({"/media/crew/OTHER", "OTHER", false});
    list.refresh();
    list.setCurrentIndex(2);
    ASSERT_EQ(list.selectedRoot(), "/media/crew/OTHER");
    list.refresh();
    EXPECT_EQ(list.selectedRoot(), "/media/crew/OTHER");
}

TEST_F(DriveListTest, OtherFolderAsksForAFolderAndKeepsIt)
{
    DriveList list(drives, prompter);
    list.show();
    prompter.answerFolder("/home/anna/card copy");
    list.setCurrentIndex(list.count() - 1);
    emit list.activated(list.count() - 1);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.last().kind, PromptRecord::Kind::Folder);
    EXPECT_EQ(list.selectedRoot(), "/home/anna/card copy");
    EXPECT_FALSE(list.selectedIsSystem());
    list.refresh();
    EXPECT_EQ(list.selectedRoot(), "/home/anna/card copy") << "an added folder survives a refresh";

    // Cancelling the folder dialog goes back to the previous choice.
    prompter.answerFolder("");
    list.setCurrentIndex(list.count() - 1);
    emit list.activated(list.count() - 1);
    EXPECT_EQ(list.selectedRoot(), "/home/anna/card copy");
}

} // namespace
