#pragma once
// The Debian package tools/package.sh made (the suite's Package.Build), read
// with Debian's own tools, and unpacked once per test executable.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kolva::test {

struct ToolRun {
    int status = -1; // the exit status; -1 when the tool could not run or ended by a signal
    QString out;
    QString err;
    QString says() const { return out + err; }
};

// Runs a tool to its end (at most timeoutMs).
ToolRun runProgram(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                int timeoutMs = 180000);

// The package file, dist/kolva_VERSION_amd64.deb of the source folder.
QString packageFile();

// Empty when the package can be read here; else why not (the test is then
// skipped: dpkg-deb is missing).
QString packageToolMissing();

// The package's files unpacked (dpkg-deb -x) into a folder made once;
// empty when that failed.
QString unpackedRoot();

} // namespace kolva::test

// Skips the test where Debian's dpkg-deb is missing; fails it where the
// package was not made.
#define KOLVA_REQUIRE_PACKAGE()                                                                           \
    do {                                                                                                  \
        if (const QString missing = ::kolva::test::packageToolMissing(); !missing.isEmpty())              \
            GTEST_SKIP() << missing.toStdString();                                                        \
        ASSERT_TRUE(QFileInfo::exists(::kolva::test::packageFile()))                                      \
            << ::kolva::test::packageFile().toStdString() << " is missing: tools/package.sh makes it";    \
        ASSERT_FALSE(::kolva::test::unpackedRoot().isEmpty()) << "the package could not be unpacked";    \
    } while (false)
