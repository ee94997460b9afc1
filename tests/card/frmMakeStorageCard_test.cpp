#include "card/frmMakeStorageCard.h"
#include "platform/busycursor.h"
#include "platform/drivelist.h"
#include "tests/app/apptest.h"
#include "tests/card/cardtest.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace kolva;
using namespace kolva::test;

namespace {

class MakeStorageCardTest : public AppTest {
protected:
    MakeStorageCardTest() { drives.list = {{systemVolume.root(), "", true}, {card.root(), "CARD", false}}; }

    frmMakeStorageCard* open()
    {
        main = start();
        if (!main)
            return nullptr;
        main->menuItem("mnuCreateStorageCard")->trigger();
        window = qobject_cast<frmMakeStorageCard*>(openWindow("frmMakeStorageCard"));
        if (window)
            prompter.onPrompt = [this](const PromptRecord&) { doItWhilePrompting.push_back(window->cmdDoIt()->isEnabled()); };
        return window;
    }
    void tickAll()
    {
        for (QCheckBox* box : window->chkSD)
            box->setChecked(true);
    }
    void clickDoIt()
    {
        QTest::mouseClick(window->cmdDoIt(), Qt::LeftButton);
        settle();
    }
    QStringList cardFiles(const TestCard& c) const { return QDir(c.root()).entryList(QDir::Files, QDir::Name); }

    TestCard systemVolume{false};
    TestCard card{false};
    frmMain* main = nullptr;
    frmMakeStorageCard* window = nullptr;
    std::vector<bool> doItWhilePrompting;
};

TEST_F(MakeStorageCardTest, OpensModallyFromTheMenuWithItsChecklist)
{
    ASSERT_NE(open(), nullptr);
    EXPECT_TRUE(main->menuItem("mnuCreateStorageCard")->isEnabled());
    EXPECT_TRUE(window->isModal());
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(window->windowTitle(), "Create KOLVA Storage Card");
    EXPECT_EQ(child<QLabel>(window, "Label4")->text(), "Select Storage Card");
    EXPECT_EQ(child<QLabel>(window, "Label1")->text(), "Have you :");
    EXPECT_EQ(child<QLabel>(window, "Label2")->text(),
              "(This process will have NO effect on any field tree data which may be on the storage card)");
    EXPECT_EQ(window->cmdDoIt()->text(),
              "Place the Storage Card in the Reader, Select it from the list above and press this button");
    EXPECT_EQ(child<QPushButton>(window, "Command1")->text(), "E&xit");
    EXPECT_NE(child(window, "Image1"), nullptr);
    EXPECT_EQ(child(window, "Drive1")->accessibleName(), "Select Storage Card");
    EXPECT_EQ(window->Drive1()->selectedRoot(), card.root());

    const char* captions[] = {"Customized your Community Risk Zones?", "Customized your Tree Risk Ratings?",
                              "Set up your PDA Street List?", "Set up your PDA Species List?",
                              "Set up your Surveyor List?"};
    int previousTop = -1;
    for (int i = 4; i >= 0; --i) {
        auto* box = child<QCheckBox>(window, QStringLiteral("chkSD(%1)").arg(i));
        ASSERT_EQ(box, window->chkSD[size_t(i)]);
        EXPECT_EQ(box->text(), captions[4 - i]);
        EXPECT_FALSE(box->isChecked());
        EXPECT_GT(box->y(), previousTop) << "chkSD(4) at the top down to chkSD(0)";
        previousTop = box->y();
    }

    main->menuItem("mnuCreateStorageCard")->trigger();
    int instances = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        instances += w->objectName() == "frmMakeStorageCard" && w->isVisible();
    EXPECT_EQ(instances, 1);

    QTest::mouseClick(child(window, "Command1"), Qt::LeftButton);
    settle();
    EXPECT_EQ(openWindow("frmMakeStorageCard"), nullptr);
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(MakeStorageCardTest, TheButtonWorksOnlyWithAllFiveBoxesTicked)
{
    ASSERT_NE(open(), nullptr);
    EXPECT_FALSE(window->cmdDoIt()->isEnabled());
    for (int left = 0; left < 5; ++left) {
        for (int i = 0; i < 5; ++i)
            window->chkSD[size_t(i)]->setChecked(i != left);
        EXPECT_FALSE(window->cmdDoIt()->isEnabled()) << "chkSD(" << left << ") clear";
        QCheckBox* box = window->chkSD[size_t(left)];
        const QPoint onTheBox(6, box->height() / 2);
        QTest::mouseClick(box, Qt::LeftButton, {}, onTheBox);
        EXPECT_TRUE(window->cmdDoIt()->isEnabled()) << "all five ticked";
        QTest::mouseClick(box, Qt::LeftButton, {}, onTheBox);
        EXPECT_FALSE(window->cmdDoIt()->isEnabled()) << "unticked again";
    }
}

TEST_F(MakeStorageCardTest, WritesTheCardAndSaysSo)
{
    ASSERT_NE(open(), nullptr);
    card.addTree("5.tree", treeLines(5));
    tickAll();
    prompter.answer(MsgAnswer::Ok);
    clickDoIt();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const PromptRecord& done = prompter.prompts()[0];
    EXPECT_EQ(done.message.text, "Storage Card initialized successfully!");
    EXPECT_EQ(done.message.caption, "Operation Completed");
    EXPECT_EQ(done.message.icon, MsgIcon::Information);
    EXPECT_EQ(done.message.buttons, MsgButtons::Ok);
    EXPECT_FALSE(done.busyCursor);
    EXPECT_EQ(cardFiles(card), QStringList({"5.tree", "RiskRating_1.txt", "RiskRating_2.txt", "RiskRating_3.txt",
                                            "RiskRating_4.txt", "RiskZones.txt", "Species.txt", "Streets.txt",
                                            "Surveyors.txt"}));
    EXPECT_EQ(readBytes(card.path("5.tree")), joinLines(treeLines(5)));
    EXPECT_TRUE(window->cmdDoIt()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MakeStorageCardTest, TheSystemVolumeIsAskedAboutAndCancelWritesNothing)
{
    ASSERT_NE(open(), nullptr);
    window->Drive1()->setCurrentIndex(0);
    ASSERT_TRUE(window->Drive1()->selectedIsSystem());
    tickAll();
    prompter.answer(MsgAnswer::Cancel).answer(MsgAnswer::Ok);
    clickDoIt();
    ASSERT_EQ(prompter.prompts().size(), 2u);
    const MessageRequest& question = prompter.prompts()[0].message;
    EXPECT_EQ(question.text, "It's fairly unlikely that your Storage Card is the location '" +
                                 QDir::toNativeSeparators(systemVolume.root()) + "'.   Are you sure?");
    EXPECT_EQ(question.caption, "Confirm Storage Card Drive");
    EXPECT_EQ(question.icon, MsgIcon::None);
    EXPECT_EQ(question.buttons, MsgButtons::OkCancel);
    EXPECT_EQ(question.defaultButton, MsgAnswer::Cancel);
    const MessageRequest& cancelled = prompter.prompts()[1].message;
    EXPECT_EQ(cancelled.text, "Operation Cancelled");
    EXPECT_EQ(cancelled.caption, "Cancelled");
    EXPECT_EQ(cancelled.icon, MsgIcon::Information);
    EXPECT_TRUE(cardFiles(systemVolume).isEmpty());
    EXPECT_TRUE(window->cmdDoIt()->isEnabled());

    prompter.clear();
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    clickDoIt();
    EXPECT_EQ(prompter.messageTexts(),
              QStringList({question.text, "Storage Card initialized successfully!"}));
    EXPECT_EQ(cardFiles(systemVolume).size(), 8);
}

TEST_F(MakeStorageCardTest, ACardThatCannotBeWrittenGivesOperationFailed)
{
    ASSERT_NE(open(), nullptr);
    QDir(card.root()).mkpath("Streets.txt/inside");
    tickAll();
    prompter.answer(MsgAnswer::Ok);
    clickDoIt();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const PromptRecord& failed = prompter.prompts()[0];
    EXPECT_EQ(failed.message.caption, "Operation Failed!");
    EXPECT_EQ(failed.message.icon, MsgIcon::Critical);
    EXPECT_TRUE(failed.message.text.startsWith("Streets.txt cannot be written on the storage card in " +
                                               QDir::toNativeSeparators(card.root()) + ": "))
        << failed.message.text.toStdString() << " (no error number)";
    EXPECT_FALSE(failed.busyCursor);
    EXPECT_TRUE(card.has("Surveyors.txt")) << "files written before the failure stay";
    EXPECT_FALSE(card.has("Species.txt"));
    EXPECT_TRUE(window->cmdDoIt()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(doItWhilePrompting, std::vector<bool>({true}));
}

TEST_F(MakeStorageCardTest, EntriesWrittenWithQuestionMarksAreNamedInTheMessage)
{
    ASSERT_NE(open(), nullptr);
    session->context().db.exec("INSERT INTO Species (Description) VALUES (?)", {QString::fromUtf8("\u0150AK")});
    tickAll();
    prompter.answer(MsgAnswer::Ok);
    clickDoIt();
    EXPECT_EQ(prompter.last().message.text,
              QString::fromUtf8("Storage Card initialized successfully!\n1 entry holds characters a storage card "
                                "cannot hold; it was written with \"?\" in their place:\nSpecies: ?AK (\"\u0150\" written as "
                                "\"?\")"));
    EXPECT_TRUE(readBytes(card.path("Species.txt")).contains("\r\n?AK\r\n"));
}

} // namespace
