#include "platform/busycursor.h"
#include "tests/support/scriptedprompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

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

// A window that asks a question and goes on with the answer, as every window
// of the program does.
class AskingWindow : public QWidget {
public:
    QString answer;
    int asked = 0;
};

TEST(QtPrompter, AWindowClosedOrDeletedUnderItsQuestionStaysUntilTheAnswerIsDealtWith)
{
    enum Kind { Message, Input, SaveFile, Folder };
    QTemporaryDir folder;
    for (const Kind kind : {Message, Input, SaveFile, Folder}) {
        SCOPED_TRACE(int(kind));
        auto* window = new AskingWindow;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        QPointer<AskingWindow> alive(window);
        bool stayedWhileAsking = false;
        bool answered = false;
        // The question is open: the window is closed and deleted from outside
        // (an assistive technology's close action, say), then answered.
        std::function<void()> act = [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) {
                QTimer::singleShot(10, act);
                return;
            }
            EXPECT_FALSE(window->close());
            window->deleteLater();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
            stayedWhileAsking = alive && dialog->isVisible();
            answered = true;
            if (auto* box = qobject_cast<QMessageBox*>(dialog))
                box->button(QMessageBox::Yes)->click();
            else if (auto* input = qobject_cast<QInputDialog*>(dialog)) {
                input->setTextValue("ELM");
                input->accept();
            } else if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
                files->setDirectory(folder.path());
                auto* name = files->findChild<QLineEdit*>("fileNameEdit");
                if (files->fileMode() != QFileDialog::Directory && name)
                    name->setText("out.csv");
                static_cast<QDialog*>(files)->accept(); // as the dialog's own button does
            } else {
                ADD_FAILURE() << "unexpected dialog " << dialog->metaObject()->className();
                dialog->close();
            }
        };
        QTimer::singleShot(0, act);
        QtPrompter prompter;
        switch (kind) {
        case Message:
            window->answer = prompter.message(window, {"Delete it?", "Confirm Delete?", MsgIcon::Question,
                                                       MsgButtons::YesNo, MsgAnswer::No}) == MsgAnswer::Yes
                                 ? "Yes"
                                 : "No";
            break;
        case Input: window->answer = prompter.inputText(window, {"Street", "Name?", ""}).value_or("cancelled"); break;
        case SaveFile:
            window->answer = prompter.saveFileName(window, {"Where?", "CSV Files(*.csv)", "CSV", "*.csv", folder.path()});
            break;
        case Folder: window->answer = prompter.chooseFolder(window, "Card", folder.path()); break;
        }
        ++window->asked; // the window is still there to take the answer
        EXPECT_TRUE(answered);
        EXPECT_TRUE(stayedWhileAsking);
        ASSERT_TRUE(alive);
        EXPECT_FALSE(window->answer.isEmpty());
        EXPECT_NE(window->answer, "cancelled");
        // Then it goes, as it was asked to.
        QTRY_VERIFY(!alive);
    }
}

TEST(QtPrompter, AnInputPromptShowsItsAmpersandsAsTheyAre)
{
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!input) {
            ADD_FAILURE() << "no input dialog";
            return;
        }
        for (QLabel* label : input->findChildren<QLabel*>())
            shown += label->text();
        input->reject();
    });
    QtPrompter prompter;
    const QString prompt = "postgresql:///kolva?host=/run/pg&user=anna asks for a password.";
    EXPECT_FALSE(prompter.inputText(nullptr, {"KOLVA", prompt, "", true}).has_value());
    // The label is the line's buddy: it shows "&&" as one "&", and would take
    // a single "&" for an access key and hide it.
    EXPECT_EQ(shown, QString(prompt).replace("&", "&&"));
}

} // namespace
