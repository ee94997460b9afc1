#pragma once
// Entries that are not regular files, put where KOLVA is about to write a
// file: a link to a file elsewhere, a link to nothing, a named pipe, a folder.
// Every writer into a folder KOLVA did not make must refuse them and leave
// them, and what they point at, as they were.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kolva::test {

enum class OddEntry { Link, DanglingLink, Fifo, Folder };

struct OddEntryCase {
    OddEntry kind;
    const char* says; // how the refusal names it, after the entry's name
};

inline const OddEntryCase oddEntryCases[] = {
    {OddEntry::Link, "is a symbolic link"},
    {OddEntry::DanglingLink, "is a symbolic link"},
    {OddEntry::Fifo, "is a named pipe"},
    {OddEntry::Folder, "is a folder"},
};

inline const QByteArray outsideContents = "kept outside\n";

// Puts an entry of that kind at `path`. A link points at `outside`: an
// existing file with outsideContents, or (dangling) nothing.
inline void makeOddEntry(OddEntry kind, const QString& path, const QString& outside)
{
    switch (kind) {
    case OddEntry::Link: {
        QFile f(outside);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(outsideContents);
        f.close();
        ASSERT_TRUE(QFile::link(outside, path));
        break;
    }
    case OddEntry::DanglingLink:
        ASSERT_TRUE(QFile::link(outside, path));
        break;
    case OddEntry::Fifo:
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        break;
    case OddEntry::Folder: {
        ASSERT_TRUE(QDir().mkpath(path));
        QFile f(path + QStringLiteral("/inside.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(outsideContents);
        break;
    }
    }
}

// Checks the entry and what it points at are exactly as makeOddEntry made them.
inline void expectOddEntryKept(OddEntry kind, const QString& path, const QString& outside)
{
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    QFile kept(kind == OddEntry::Folder ? path + QStringLiteral("/inside.txt") : outside);
    switch (kind) {
    case OddEntry::Link:
    case OddEntry::Folder:
        EXPECT_TRUE(kind == OddEntry::Link ? S_ISLNK(st.st_mode) : S_ISDIR(st.st_mode));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), outsideContents);
        break;
    case OddEntry::DanglingLink:
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_FALSE(QFileInfo::exists(outside)) << "written through the link";
        break;
    case OddEntry::Fifo:
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        break;
    }
}

// Temporary files a writer left in `folder`.
inline QStringList leftTemporaryFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace kolva::test
