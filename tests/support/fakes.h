#pragma once
// Test doubles of the desktop seams.

#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/shell.h"

#include <QStringList>

#include <functional>
#include <stdexcept>
#include <vector>

namespace kolva::test {

class FakeShell : public Shell {
public:
    struct Call {
        QString target;
        QString workingDir;
        int showMode = -1;
    };
    int result = ShellResult::Started; // what every open answers
    bool throwOnOpen = false;          // fail with an exception instead
    std::vector<Call> calls;

    int open(QWidget*, const QString& target, const QString& workingDir, int showMode) override
    {
        calls.push_back({target, workingDir, showMode});
        if (throwOnOpen)
            throw std::runtime_error("the shell is not available");
        return result;
    }
};

class FakeDrives : public Drives {
public:
    QList<Volume> list;
    QList<Volume> volumes() const override { return list; }
};

class FakeClock : public Clock {
public:
    QDateTime current = QDateTime(QDate(2008, 1, 2), QTime(10, 30, 0));
    QDateTime now() const override { return current; }
};

} // namespace kolva::test
