#include "tests/support/testcontext.h"

#include "store/kolvadb.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace kolva::test {

void makeSuppliedDatabase(const QString& path)
{
    static QTemporaryDir templateDir;
    static const QString templatePath = [] {
        const QString p = templateDir.filePath(QStringLiteral("template.mdb"));
        createKolvaDatabase(p);
        return p;
    }();
    if (!QFile::copy(templatePath, path))
        throw DbError(QStringLiteral("could not copy the supplied database to %1").arg(path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

void makeDatabaseOfVersion(const QString& path, int version)
{
    static const char* const steps[] = {"2_history", "3_imported_files", "4_mobilization", "5_survey_indexes"};
    const auto script = [](const QString& name) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            throw DbError(QStringLiteral("missing resource %1").arg(name));
        return QString::fromUtf8(file.readAll());
    };
    auto db = Database::create(path);
    db->execScript(script(QStringLiteral(":/store/schema.sql")));
    db->execScript(script(QStringLiteral(":/store/supplied.sql")));
    for (int v = 2; v <= version && v <= 5; ++v)
        db->execScript(script(QStringLiteral(":/store/upgrades/%1.sql").arg(QLatin1String(steps[v - 2]))));
    db->exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
}

QString testDataPath(const QString& name)
{
    QString root = qEnvironmentVariable("KOLVA_TEST_DATA");
    if (root.isEmpty())
        root = QStringLiteral(KOLVA_SOURCE_DIR "/tests/data");
    return QDir(root).filePath(name);
}

TempProgramDir::TempProgramDir(bool withDatabase)
{
    if (!dir_.isValid())
        throw DbError(QStringLiteral("could not make a temporary directory"));
    if (withDatabase)
        makeSuppliedDatabase(databasePath());
}

QString TempProgramDir::databasePath() const
{
    return dir_.filePath(QStringLiteral("KOLVA.MDB"));
}

namespace {

std::unique_ptr<QTemporaryDir> settingsFolder()
{
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        throw DbError(QStringLiteral("could not make a temporary directory"));
    return dir;
}

} // namespace

TempSettings::TempSettings() : TempSettings(settingsFolder()) {}

TempSettings::TempSettings(std::unique_ptr<QTemporaryDir> dir)
    : FileSettings(dir->filePath(QStringLiteral("kolva.ini"))), dir_(std::move(dir))
{
}

QString TempSettings::path() const
{
    return fileName();
}

TestContext::TestContext()
    : server(onServer() ? std::make_unique<ServerTestDatabase>(ServerTestDatabase::Content::Kolva) : nullptr),
      db(openKolvaDatabase(databasePath()))
{
}

TestContext::~TestContext() = default;

} // namespace kolva::test
