#include "store/safefile.h"

#include "tests/support/fulldisk.h"
#include "tests/support/oddentries.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <sys/stat.h>

using namespace kolva;
using namespace kolva::test;

namespace {

QByteArray contentsOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void put(const QString& path, const QByteArray& contents)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contents);
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// The three ways of writing a file, each given the target and the new contents.
using Write = std::function<QString(const QString& target, const QByteArray& contents)>;

const struct {
    const char* name;
    Write write;
} writers[] = {
    {"whole", [](const QString& target, const QByteArray& contents) { return writeFileSafely(target, contents); }},
    {"streamed",
     [](const QString& target, const QByteArray& contents) {
         SafeFileWriter w(target);
         if (QString reason = w.open(); !reason.isEmpty())
             return reason;
         // in small pieces, past the writer's own buffer
         for (qsizetype at = 0; at < contents.size(); at += 1000)
             w.device().write(contents.mid(at, 1000));
         return w.commit();
     }},
    {"copied",
     [](const QString& target, const QByteArray& contents) {
         QTemporaryDir source;
         put(source.filePath("source"), contents);
         return copyFileSafely(source.filePath("source"), target);
     }},
};

TEST(SafeFile, RefusesEveryEntryButARegularFileAndChangesNothing)
{
    for (const auto& writer : writers) {
        for (const auto& odd : oddEntryCases) {
            SCOPED_TRACE(std::string(writer.name) + " over one that " + odd.says);
            QTemporaryDir card, elsewhere;
            const QString target = card.filePath("Species.txt");
            const QString outside = elsewhere.filePath("KOLVA.MDB");
            makeOddEntry(odd.kind, target, outside);

            EXPECT_EQ(writer.write(target, "ACRU\r\n"), QString("Species.txt ") + odd.says);
            expectOddEntryKept(odd.kind, target, outside);
            EXPECT_TRUE(leftTemporaryFiles(card.path()).isEmpty());
        }
    }
}

TEST(SafeFile, ReplacesARegularFileKeepingItsModeAndMakesANewOne)
{
    const QByteArray big(200000, 'q'); // more than one buffer's worth
    for (const auto& writer : writers) {
        SCOPED_TRACE(writer.name);
        QTemporaryDir dir;
        const QString existing = dir.filePath("list.txt");
        put(existing, "old");
        ::chmod(QFile::encodeName(existing).constData(), 0640);
        // a hard link elsewhere keeps the old contents: the entry is replaced, not written into
        const QString other = dir.filePath("other-name");
        ASSERT_TRUE(::link(QFile::encodeName(existing).constData(), QFile::encodeName(other).constData()) == 0);

        EXPECT_EQ(writer.write(existing, big), QString());
        EXPECT_EQ(contentsOf(existing), big);
        EXPECT_EQ(modeOf(existing), 0640u);
        EXPECT_EQ(contentsOf(other), "old");

        const QString fresh = dir.filePath("new.txt");
        EXPECT_EQ(writer.write(fresh, "a\r\nb\r\n"), QString());
        EXPECT_EQ(contentsOf(fresh), "a\r\nb\r\n");
        const mode_t mask = ::umask(0);
        ::umask(mask);
        EXPECT_EQ(modeOf(fresh), 0666u & ~mask);
        EXPECT_TRUE(leftTemporaryFiles(dir.path()).isEmpty());
    }
}

TEST(SafeFile, AnUncommittedWriterLeavesTheOldFileAndNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("export.csv");
    put(target, "old");
    {
        SafeFileWriter w(target);
        ASSERT_EQ(w.open(), QString());
        w.device().write("half of the new");
        EXPECT_EQ(leftTemporaryFiles(dir.path()).size(), 1);
    }
    EXPECT_EQ(contentsOf(target), "old");
    EXPECT_TRUE(leftTemporaryFiles(dir.path()).isEmpty());
}

TEST(SafeFile, CopyRefusesALinkOrPipeAsItsSourceAndSaysAMissingOne)
{
    QTemporaryDir dir, elsewhere;
    const QString target = dir.filePath("copy.tree");
    for (const auto& odd : oddEntryCases) {
        if (odd.kind == OddEntry::Folder)
            continue;
        SCOPED_TRACE(odd.says);
        const QString source = dir.filePath("source.tree");
        QFile::remove(source);
        makeOddEntry(odd.kind, source, elsewhere.filePath("real.tree"));
        EXPECT_EQ(copyFileSafely(source, target), QString("source.tree ") + odd.says);
        EXPECT_FALSE(QFileInfo::exists(target));
        QFile::remove(elsewhere.filePath("real.tree"));
    }
    EXPECT_EQ(copyFileSafely(dir.filePath("gone.tree"), target),
              QString("Could not read gone.tree: No such file or directory"));
}

TEST(SafeFile, AFolderThatCannotBeWrittenIsSaidInTheSystemsWords)
{
    EXPECT_EQ(systemReason(ENOSPC), QString("No space left on device"));
    EXPECT_EQ(writeFileSafely("/nonexistent-folder/x.csv", "x"),
              QString("Could not write x.csv: No such file or directory"));
}

TEST(SafeFile, AFullDiskKeepsTheOldFileAndSaysWhy)
{
    const QString folder = fullDiskFolder();
    if (folder.isEmpty())
        return;
    for (const auto& writer : writers) {
        SCOPED_TRACE(writer.name);
        const QString target = folder + "/report.pdf";
        put(target, "the old report");
        fillFileSystem(folder);

        EXPECT_EQ(writer.write(target, QByteArray(100000, 'n')),
                  QString("Could not write report.pdf: No space left on device"));
        EXPECT_EQ(contentsOf(target), "the old report");
        EXPECT_TRUE(leftTemporaryFiles(folder).isEmpty());
        QFile::remove(folder + "/filler");
    }
}

} // namespace
