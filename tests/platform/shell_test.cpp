#include "platform/shell.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

// Only the answers that start no program are tested: a test must not open a
// viewer on a developer's desktop.
TEST(DesktopShell, AMissingDocumentIsFileNotFound)
{
    QTemporaryDir dir;
    DesktopShell shell;
    EXPECT_EQ(shell.open(nullptr, dir.filePath("KOLVA_Corrective_Actions.PDF"), dir.path(), 5),
              ShellResult::FileNotFound);
    EXPECT_EQ(shell.open(nullptr, "file://" + dir.filePath("missing.html"), dir.path(), 0), ShellResult::FileNotFound);
    EXPECT_EQ(shell.open(nullptr, "missing.html", dir.path(), 0), ShellResult::FileNotFound)
        << "a relative name is looked up in the working directory";
}

} // namespace
