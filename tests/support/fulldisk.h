#pragma once
// A folder on a small file system of its own, for testing what a write does
// when the disk is full. Mounting one needs a private mount namespace, so the
// test runs again in a child process (`unshare --map-root-user --mount`) that
// mounts a small tmpfs on the folder:
//
//     const QString folder = fullDiskFolder();
//     if (folder.isEmpty())
//         return; // the child ran this test and its result is checked, or it was skipped
//     ... put what the test needs into folder, fillFileSystem(folder), then write ...

#include <QString>

namespace kolva::test {

QString fullDiskFolder();

// Takes the rest of the space of the file system that holds `folder`.
void fillFileSystem(const QString& folder);

} // namespace kolva::test
