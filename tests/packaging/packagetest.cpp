#include "tests/packaging/packagetest.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <memory>

namespace kolva::test {

ToolRun runProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForStarted(30000)) {
        run.err = program + QStringLiteral(": ") + process.errorString();
        return run;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = program + QStringLiteral(" did not end within %1 s").arg(timeoutMs / 1000);
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err += QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString packageFile()
{
    return QStringLiteral(KOLVA_PACKAGE_DEB);
}

QString packageToolMissing()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
        return QStringLiteral("dpkg-deb (Debian's dpkg) is not installed: the package can be neither made nor read here");
    return {};
}

QString unpackedRoot()
{
    static std::unique_ptr<QTemporaryDir> root;
    static bool tried = false;
    if (!tried) {
        tried = true;
        auto dir = std::make_unique<QTemporaryDir>();
        const ToolRun run = runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), packageFile(), dir->path()});
        if (dir->isValid() && run.status == 0)
            root = std::move(dir);
        else
            qWarning("dpkg-deb -x %s: %s", qPrintable(packageFile()), qPrintable(run.says()));
    }
    return root ? root->path() : QString();
}

} // namespace kolva::test
