#include "tests/support/fulldisk.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace kolva::test {

namespace {

const char* const folderVariable = "KOLVA_FULL_DISK_FOLDER";
const QString mountAndRun = QStringLiteral("mount -t tmpfs -o size=256k kolva-full \"$0\" && exec \"$@\"");

// Empty when a private tmpfs can be mounted here, otherwise why not.
QString probe()
{
    static std::optional<QString> answer;
    if (answer)
        return *answer;
    QTemporaryDir dir;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("unshare"),
            {QStringLiteral("--map-root-user"), QStringLiteral("--mount"), QStringLiteral("sh"), QStringLiteral("-c"),
             mountAndRun, dir.path(), QStringLiteral("true")});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        answer = QStringLiteral("no private file system can be mounted here: ") + QString::fromLocal8Bit(p.readAll())
            + p.errorString();
    else
        answer = QString();
    return *answer;
}

void skip(const QString& why)
{
    GTEST_SKIP() << why.toStdString();
}

} // namespace

QString fullDiskFolder()
{
    const QString inChild = qEnvironmentVariable(folderVariable);
    if (!inChild.isEmpty())
        return inChild;
    if (const QString why = probe(); !why.isEmpty()) {
        skip(why);
        return {};
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString name = QStringLiteral("%1.%2").arg(QString::fromUtf8(test->test_suite_name()),
                                                      QString::fromUtf8(test->name()));
    QTemporaryDir mountPoint;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(folderVariable), mountPoint.path());
    // The child runs this one test, not the shard its parent was given.
    env.remove(QStringLiteral("GTEST_TOTAL_SHARDS"));
    env.remove(QStringLiteral("GTEST_SHARD_INDEX"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("--map-root-user"), QStringLiteral("--mount"), QStringLiteral("sh"),
                 QStringLiteral("-c"), mountAndRun, mountPoint.path(), QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=") + name});
    const bool finished = child.waitForFinished(240000);
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_TRUE(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        << "on a full disk:\n" << output.toStdString();
    EXPECT_TRUE(output.contains(QLatin1String("[  PASSED  ] 1 test")))
        << "on a full disk, the test did not run:\n" << output.toStdString();
    return {};
}

void fillFileSystem(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/filler"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    const QByteArray block(4096, 'x');
    int error = 0;
    for (qsizetype size = block.size(); size > 0; size /= 2) {
        while (true) {
            if (::write(fd, block.constData(), static_cast<size_t>(size)) < 0) {
                error = errno;
                break;
            }
        }
    }
    ::close(fd);
    ASSERT_EQ(error, ENOSPC);
}

} // namespace kolva::test
