#include "platform/busycursor.h"
#include "tests/support/scriptedprompter.h"

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

TEST(BusyCursor, ShowsUntilReleasedOrDestroyedOnEveryWayOut)
{
    EXPECT_FALSE(busyCursorShown());
    {
        BusyCursor busy;
        EXPECT_TRUE(busyCursorShown());
        busy.release();
        EXPECT_FALSE(busyCursorShown());
    }
    EXPECT_FALSE(busyCursorShown());
    try {
        BusyCursor busy;
        throw 1;
    } catch (int) {
    }
    EXPECT_FALSE(busyCursorShown());
}

TEST(ScriptedPrompter, AnswersInOrderAndRecordsWhatWasShown)
{
    ScriptedPrompter prompter;
    prompter.answer(MsgAnswer::Cancel).answerFile("/tmp/x.pdf");
    {
        BusyCursor busy;
        EXPECT_EQ(prompter.message(nullptr, {"Sure?", "Confirm", MsgIcon::Question, MsgButtons::OkCancel,
                                             MsgAnswer::Cancel}),
                  MsgAnswer::Cancel);
    }
    EXPECT_EQ(prompter.saveFileName(nullptr, {"Where?", "PDF Files(*.pdf)", "PDF", "*.pdf", "/tmp"}), "/tmp/x.pdf");
    ASSERT_EQ(prompter.prompts().size(), 2u);
    EXPECT_TRUE(prompter.prompts()[0].busyCursor);
    EXPECT_EQ(prompter.prompts()[0].message.caption, "Confirm");
    EXPECT_EQ(prompter.prompts()[1].file.defaultSuffix, "PDF");
    EXPECT_TRUE(prompter.scriptDone());
}

} // namespace
