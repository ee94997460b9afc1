#pragma once
// Survey records for the GIS export's tests, and its files read back by
// GDAL's own tools (ogrinfo, ogr2ogr), as a GIS would read them.

#include "store/database.h"
#include "store/surveycolumns.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace kolva::test {

// Inserts a record with the values given by column name; every other
// column the import writes holds its own name (a text) or 1, the date is
// 2007-03-05 14:20:00 and the position 40.5, -73.25.
inline qint64 addGisRecord(Database& db, const QVariantMap& values)
{
    QStringList names;
    QVariantList bound;
    for (const SurveyColumn& column : surveyColumns()) {
        const QString name = column.columnName();
        if (name == "Report_Flag")
            continue;
        names << name;
        if (values.contains(name))
            bound << values.value(name);
        else if (name == "Latitude")
            bound << 40.5;
        else if (name == "Longitude")
            bound << -73.25;
        else if (column.kind == SurveyColumnKind::Text)
            bound << name.toUpper();
        else if (column.kind == SurveyColumnKind::DateTime)
            bound << QStringLiteral("2007-03-05 14:20:00");
        else
            bound << 1;
    }
    db.exec(QStringLiteral("INSERT INTO _Archived_SurveyData (%1) VALUES (%2)")
                .arg(names.join(','), QStringList(names.size(), "?").join(',')),
            bound);
    return db.lastInsertId();
}

struct ToolRun {
    int status = -1;
    QByteArray out;
    QString err;
};

inline ToolRun runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// ogrinfo's summary of every layer: feature count, CRS, field types.
inline QString ogrSummary(const QString& path)
{
    const ToolRun run = runTool("ogrinfo", {"-ro", "-so", "-al", path});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    return QString::fromUtf8(run.out);
}

// The features as GDAL reads them, each as its GeoJSON object.
inline QJsonArray ogrFeatures(const QString& path)
{
    const ToolRun run = runTool("ogr2ogr", {"-f", "GeoJSON", "/vsistdout/", path});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    return QJsonDocument::fromJson(run.out).object().value("features").toArray();
}

inline QByteArray fileContents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace kolva::test
