#include "platform/shell.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

namespace kolva {

#ifdef Q_OS_WIN

int DesktopShell::open(QWidget* owner, const QString& target, const QString& workingDir, int showMode)
{
    const HWND hwnd = owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
    const auto result = ShellExecuteW(hwnd, L"open", reinterpret_cast<LPCWSTR>(target.utf16()), L"",
                                      reinterpret_cast<LPCWSTR>(workingDir.utf16()), showMode);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

#else

namespace {

// The MIME type that decides which program opens the target, or an empty
// text when a local file does not exist.
QString mimeTypeOf(const QString& target, const QString& workingDir, bool* missing)
{
    *missing = false;
    const QUrl url(target);
    if (url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1 && !url.isLocalFile())
        return QStringLiteral("x-scheme-handler/") + url.scheme().toLower();

    QString path = url.isLocalFile() ? url.toLocalFile() : target;
    QFileInfo info(path);
    if (info.isRelative())
        info = QFileInfo(workingDir + QLatin1Char('/') + path);
    if (!info.exists()) {
        *missing = true;
        return {};
    }
    return QMimeDatabase().mimeTypeForFile(info).name();
}

QString associatedProgram(const QString& mimeType)
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return {};
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

} // namespace

int DesktopShell::open(QWidget* /*owner*/, const QString& target, const QString& workingDir, int /*showMode*/)
{
    bool missing = false;
    const QString mimeType = mimeTypeOf(target, workingDir, &missing);
    if (missing)
        return ShellResult::FileNotFound;
    if (associatedProgram(mimeType).isEmpty())
        return ShellResult::NoAssociation;
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || !QProcess::startDetached(opener, {target}, workingDir))
        return ShellResult::NoAssociation;
    return ShellResult::Started;
}

#endif

} // namespace kolva
