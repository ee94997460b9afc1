#pragma once
// The desktop the benchmarks' windows run on: every message answered at
// once, nothing opened by the desktop, a fixed set of drives; and the ways
// a benchmark waits for a window to have done its work.

#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/shell.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <optional>

namespace kolva::bench {

// Answers each message at once and keeps its text. Where the benchmark
// expects messages, with OK; where it expects none, with the message's
// default button, and says so on the standard error.
class InstantPrompter : public Prompter {
public:
    enum class Messages { Expected, Unexpected };
    explicit InstantPrompter(Messages messages = Messages::Expected) : messages_(messages) {}

    QStringList texts;
    // What a dialog to open a file gives.
    QString openedFile;
    int shown() const { return int(texts.size()); }

    MsgAnswer message(QWidget*, const MessageRequest& request) override
    {
        texts << request.text;
        if (messages_ == Messages::Expected)
            return MsgAnswer::Ok;
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(request.text));
        return request.defaultButton;
    }
    QString saveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QString openFileName(QWidget*, const FileDialogRequest&) override { return openedFile; }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
    std::optional<QString> inputText(QWidget*, const InputRequest&) override { return std::nullopt; }

private:
    Messages messages_;
};

class NoShell : public Shell {
public:
    int open(QWidget*, const QString&, const QString&, int) override { return ShellResult::Started; }
};

// No drives, or one storage card at root.
class FixedDrives : public Drives {
public:
    FixedDrives() = default;
    explicit FixedDrives(const QString& cardRoot) : volumes_{{cardRoot, QStringLiteral("CARD"), false}} {}
    QList<Volume> volumes() const override { return volumes_; }

private:
    QList<Volume> volumes_;
};

// Notes when a widget has painted.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the event loop until done() or the time runs out (false then).
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace kolva::bench
