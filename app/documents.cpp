#include "app/documents.h"

#include "platform/prompter.h"
#include "platform/shell.h"

#include <QDir>
#include <QFileInfo>

#include <exception>

namespace kolva {

namespace {
const QString ProgramTitle = QStringLiteral("KOLVA");
constexpr int ShowNormal = 5;
} // namespace

void OpenDocument(Prompter& prompter, Shell& shell, QWidget* owner, const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        prompter.warn(owner, QStringLiteral("Cannot Locate the file:\n") + shown, QStringLiteral("File Not Found"));
        return;
    }
    try {
        const int result = shell.open(owner, path, QDir::currentPath(), ShowNormal);
        if (result < 32)
            prompter.warn(owner, QStringLiteral("Unable to execute or display this type of file."), shown);
    } catch (const std::exception& error) {
        prompter.warn(owner, QStringLiteral("Error #1-") + QString::fromLocal8Bit(error.what()),
                      QStringLiteral(" Could not open VARDELOX Manual!"));
    }
}

bool OpenWebPage(Prompter& prompter, Shell& shell, QWidget* owner, const QString& address, int showMode,
                 const QString& programDir)
{
    const int result = shell.open(owner, address, programDir, showMode);
    if (result == ShellResult::NoAssociation) {
        prompter.warn(owner,
                      ProgramTitle + QStringLiteral(" could not find a file association for ") + address
                          + QStringLiteral(" on your system. You should check that your browser")
                          + QStringLiteral("is correctly installed and associated with this type of file."),
                      QStringLiteral("Browser Unavailable"));
        return false;
    }
    if (result <= 32) {
        prompter.warn(owner,
                      ProgramTitle + QStringLiteral(" had a problem running your web browser.")
                          + QStringLiteral("You should check that your browser is correctly installed.")
                          + QStringLiteral("(Error") + QString::number(result) + QStringLiteral(")"),
                      QStringLiteral("Browser Unavailable"));
        return false;
    }
    return true;
}

} // namespace kolva
