#include "tests/app/apptest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

using namespace kolva;
using namespace kolva::test;

namespace {

QByteArray sha256(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

class StartupTest : public AppTest {};

TEST_F(StartupTest, WithoutTheDatabaseTheEnginesErrorShowsAndNothingStarts)
{
    ASSERT_TRUE(QFile::remove(dir.databasePath()));
    prompter.answer(MsgAnswer::Ok);
    EXPECT_EQ(start(), nullptr);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const MessageRequest& shown = prompter.last().message;
    EXPECT_EQ(shown.caption, "KOLVA");
    EXPECT_EQ(shown.icon, MsgIcon::Critical);
    EXPECT_TRUE(shown.text.contains(QDir::toNativeSeparators(dir.databasePath())));
    EXPECT_TRUE(shown.text.contains("unable to open database file")) << shown.text.toStdString();
    EXPECT_EQ(openWindow("frmMain"), nullptr);
    EXPECT_FALSE(QFile::exists(dir.databasePath()));
}

TEST_F(StartupTest, AnAccessFileOfAnEarlierVersionIsNamedAndLeftUnchanged)
{
    ASSERT_TRUE(QFile::remove(dir.databasePath()));
    ASSERT_TRUE(QFile::copy(testDataPath("legacy_kolva.mdb"), dir.databasePath()));
    const QByteArray before = sha256(dir.databasePath());
    prompter.answer(MsgAnswer::Ok);
    EXPECT_EQ(start(), nullptr);
    const QString text = prompter.last().message.text;
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(dir.databasePath())));
    EXPECT_TRUE(text.contains("Microsoft Access database")) << text.toStdString();
    EXPECT_EQ(sha256(dir.databasePath()), before);
}

TEST_F(StartupTest, WithTheDatabaseTheMainWindowShows)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(openWindow("frmMain"), main);
    EXPECT_TRUE(prompter.prompts().empty());
}

} // namespace
