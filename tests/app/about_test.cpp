#include "tests/app/apptest.h"
#include "app/documents.h"
#include "app/frmAbout.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace kolva;
using namespace kolva::test;

namespace {

class AboutTest : public AppTest {};

TEST_F(AboutTest, OpensModallyOnceWithItsTextsAndClosesOnOK)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    main->menuItem("mnuAbout")->trigger();
    QWidget* about = openWindow("frmAbout");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isModal());
    EXPECT_TRUE(main->isVisible()) << "the Main window stays under it";
    EXPECT_EQ(about->windowTitle(), "About KOLVA");
    EXPECT_EQ(child<QLabel>(about, "Label3")->text(), "KOLVA");
    EXPECT_EQ(child<QLabel>(about, "Label2")->text(), child<QLabel>(main, "Label2")->text());
    EXPECT_EQ(child<QLabel>(about, "Label6")->text(), "KOLVA Development Team");
    EXPECT_EQ(child<QLabel>(about, "Label1")->text(),
              "The contributions of the following members of the KOLVA review team are gratefully acknowledged");
    EXPECT_FALSE(child<QLabel>(about, "Label4(0)")->text().isEmpty());
    EXPECT_EQ(child<QLabel>(about, "Label5")->text(), frmMain::productWebAddress(dir.path()));
    EXPECT_EQ(child<QPushButton>(about, "cmdExit")->text(), "&OK");

    main->menuItem("mnuAbout")->trigger();
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        open += w->objectName() == "frmAbout" && w->isVisible();
    EXPECT_EQ(open, 1) << "one instance";

    QTest::mouseClick(child(about, "cmdExit"), Qt::LeftButton);
    settle();
    EXPECT_EQ(openWindow("frmAbout"), nullptr);
}

TEST_F(AboutTest, ClickingTheAddressOpensTheWebPageHidden)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    main->menuItem("mnuAbout")->trigger();
    QWidget* about = openWindow("frmAbout");
    ASSERT_NE(about, nullptr);
    QTest::mouseClick(child(about, "Label5"), Qt::LeftButton);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].target, frmMain::productWebAddress(dir.path()));
    EXPECT_EQ(shell.calls[0].showMode, 0);
    EXPECT_EQ(shell.calls[0].workingDir, dir.path());
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(AboutTest, TheWebPageIsARealPageBesideTheProgram)
{
    const QString address = frmMain::productWebAddress(KOLVA_PROGRAM_DIR);
    const QString path = QUrl(address).toLocalFile();
    QFile page(path);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << path.toStdString();
    const QString html = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(html.contains("CSV")) << "it explains charts from the CSV export";
    EXPECT_TRUE(html.contains("<title>KOLVA: Creating Graphic Reports</title>"));
}

struct ShellCase {
    const char* name;
    int result;
    bool accepted;
    const char* message;
};

void PrintTo(const ShellCase& c, std::ostream* os)
{
    *os << c.name;
}


class OpenWebPageTest : public ::testing::TestWithParam<ShellCase> {};

TEST_P(OpenWebPageTest, TellsTheShellsFailureInTheProgramsWords)
{
    ScriptedPrompter prompter;
    FakeShell shell;
    shell.result = GetParam().result;
    if (*GetParam().message)
        prompter.answer(MsgAnswer::Ok);
    const QString address = "file:///opt/kolva/KOLVA_Graphic_Reports.html";
    EXPECT_EQ(OpenWebPage(prompter, shell, nullptr, address, 0, "/opt/kolva"), GetParam().accepted);
    if (!*GetParam().message) {
        EXPECT_TRUE(prompter.prompts().empty());
        return;
    }
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const MessageRequest& shown = prompter.last().message;
    EXPECT_EQ(shown.text, QString(GetParam().message).replace("ADDRESS", address));
    EXPECT_EQ(shown.caption, "Browser Unavailable");
    EXPECT_EQ(shown.icon, MsgIcon::Exclamation);
    EXPECT_EQ(shown.buttons, MsgButtons::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Results, OpenWebPageTest,
    ::testing::Values(
        ShellCase{"no_association", 31, false,
                  "KOLVA could not find a file association for ADDRESS on your system. You should check that your "
                  "browseris correctly installed and associated with this type of file."},
        ShellCase{"file_not_found", 2, false,
                  "KOLVA had a problem running your web browser.You should check that your browser is correctly "
                  "installed.(Error2)"},
        ShellCase{"limit_32", 32, false,
                  "KOLVA had a problem running your web browser.You should check that your browser is correctly "
                  "installed.(Error32)"},
        ShellCase{"started", 42, true, ""}, ShellCase{"started_33", 33, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenDocument, MissingFileIsReportedWithItsFullPathAndNothingStarts)
{
    ScriptedPrompter prompter;
    FakeShell shell;
    prompter.answer(MsgAnswer::Ok);
    OpenDocument(prompter, shell, nullptr, "/opt/kolva/KOLVA_Corrective_Actions.PDF");
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(prompter.last().message.text, "Cannot Locate the file:\n/opt/kolva/KOLVA_Corrective_Actions.PDF");
    EXPECT_EQ(prompter.last().message.caption, "File Not Found");
    EXPECT_EQ(prompter.last().message.icon, MsgIcon::Exclamation);
}

TEST(OpenDocument, ShellFailuresAndErrorsAreReported)
{
    TempProgramDir dir(false);
    const QString path = dir.filePath("sheet.pdf");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("%PDF-1.4");
    f.close();

    ScriptedPrompter prompter;
    FakeShell shell;
    OpenDocument(prompter, shell, nullptr, path);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].target, path);
    EXPECT_EQ(shell.calls[0].showMode, 5);
    EXPECT_TRUE(prompter.prompts().empty());

    shell.result = ShellResult::NoAssociation;
    prompter.answer(MsgAnswer::Ok);
    OpenDocument(prompter, shell, nullptr, path);
    EXPECT_EQ(prompter.last().message.text, "Unable to execute or display this type of file.");
    EXPECT_EQ(prompter.last().message.caption, path);

    shell.throwOnOpen = true;
    prompter.answer(MsgAnswer::Ok);
    OpenDocument(prompter, shell, nullptr, path);
    EXPECT_TRUE(prompter.last().message.text.startsWith("Error #"));
    EXPECT_TRUE(prompter.last().message.text.contains("the shell is not available"));
    EXPECT_EQ(prompter.last().message.caption, " Could not open VARDELOX Manual!");
}

TEST_F(AboutTest, ReferenceSheetMenuOpensTheSheetBesideTheProgram)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    prompter.answer(MsgAnswer::Ok);
    main->menuItem("mnuCA_RefSheet")->trigger();
    EXPECT_EQ(prompter.last().message.caption, "File Not Found");
    EXPECT_TRUE(prompter.last().message.text.endsWith(QDir::toNativeSeparators(dir.filePath("KOLVA_Corrective_Actions.PDF"))));

    ASSERT_TRUE(QFile::copy(QStringLiteral(KOLVA_PROGRAM_DIR "/KOLVA_Corrective_Actions.PDF"),
                            dir.filePath("KOLVA_Corrective_Actions.PDF")));
    main->menuItem("mnuCA_RefSheet")->trigger();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].target, dir.filePath("KOLVA_Corrective_Actions.PDF"));

    main->menuItem("mnuGraphicReport")->trigger();
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].target, frmMain::productWebAddress(dir.path()));
    EXPECT_EQ(shell.calls[1].showMode, 0);
}

} // namespace
