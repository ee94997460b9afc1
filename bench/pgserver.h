#pragma once
// A throwaway PostgreSQL cluster for the server benchmarks, over the local
// socket (tests/support/pgcluster.sh), stopped and wiped when it goes; the
// databases on it named by their URIs.

#include "store/database.h"

#include <QProcess>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kolva::bench {

class ServerCluster {
public:
    // Starts the cluster in folder (a folder the server's user can reach).
    explicit ServerCluster(QString folder) : folder_(std::move(folder))
    {
        QProcess start;
        start.start(QStringLiteral(KOLVA_PGCLUSTER_SCRIPT), {QStringLiteral("start"), folder_});
        start.waitForFinished(-1);
        const QStringList lines = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed().split(QLatin1Char('\n'));
        if (start.exitStatus() != QProcess::NormalExit || start.exitCode() != 0 ||
            !lines.last().startsWith(QLatin1String("postgresql://"))) {
            std::fprintf(stderr, "the benchmark's PostgreSQL cluster did not start: %s\n",
                         qPrintable(QString::fromLocal8Bit(start.readAllStandardError())));
            std::exit(1);
        }
        adminUri_ = lines.last();
        admin_ = Database::open(adminUri_);
    }
    ~ServerCluster()
    {
        admin_.reset();
        QProcess::execute(QStringLiteral(KOLVA_PGCLUSTER_SCRIPT), {QStringLiteral("stop"), folder_});
    }
    ServerCluster(const ServerCluster&) = delete;
    ServerCluster& operator=(const ServerCluster&) = delete;

    // The URI of the database name on the cluster.
    QString uriOf(const QString& name) const
    {
        QString uri = adminUri_;
        return uri.replace(QLatin1String("///postgres?"), QStringLiteral("///%1?").arg(name));
    }
    // A connection to the maintenance database, for CREATE and DROP DATABASE.
    Database& admin() { return *admin_; }

private:
    QString folder_;
    QString adminUri_;
    std::unique_ptr<Database> admin_;
};

} // namespace kolva::bench
