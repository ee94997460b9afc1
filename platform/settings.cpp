#include "platform/settings.h"

namespace kolva {

namespace {

const QString DatabaseKey = QStringLiteral("database/path");
const QString CardLocationKey = QStringLiteral("card/location");
const QString CardFoldersKey = QStringLiteral("card/folders");
const QString SaveTreeFilesKey = QStringLiteral("card/saveTreeFiles");
const QString ReportPaperKey = QStringLiteral("reports/paper");

QString windowKey(const QString& objectName)
{
    return QStringLiteral("windows/") + objectName;
}

} // namespace

QString Settings::databasePath() const
{
    return value(DatabaseKey).toString().trimmed();
}

QString Settings::cardLocation() const
{
    return value(CardLocationKey).toString();
}

void Settings::setCardLocation(const QString& root)
{
    setValue(CardLocationKey, root);
}

QStringList Settings::cardFolders() const
{
    return value(CardFoldersKey).toStringList();
}

void Settings::setCardFolders(const QStringList& folders)
{
    setValue(CardFoldersKey, folders);
}

bool Settings::saveTreeFiles() const
{
    return value(SaveTreeFilesKey, true).toBool();
}

void Settings::setSaveTreeFiles(bool save)
{
    setValue(SaveTreeFilesKey, save);
}

bool isReportPaper(QPageSize::PageSizeId paper)
{
    return paper == QPageSize::Letter || paper == QPageSize::A4;
}

QPageSize::PageSizeId Settings::reportPaper() const
{
    const QString name = value(ReportPaperKey).toString();
    return name.compare(QStringLiteral("A4"), Qt::CaseInsensitive) == 0 ? QPageSize::A4 : QPageSize::Letter;
}

void Settings::setReportPaper(QPageSize::PageSizeId paper)
{
    setValue(ReportPaperKey, paper == QPageSize::A4 ? QStringLiteral("A4") : QStringLiteral("Letter"));
}

QByteArray Settings::windowGeometry(const QString& objectName) const
{
    return value(windowKey(objectName)).toByteArray();
}

void Settings::setWindowGeometry(const QString& objectName, const QByteArray& geometry)
{
    setValue(windowKey(objectName), geometry);
}

FileSettings::FileSettings()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kolva"),
                                            QStringLiteral("kolva")))
{
}

FileSettings::FileSettings(const QString& path) : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

FileSettings::~FileSettings() = default;

QVariant FileSettings::value(const QString& key, const QVariant& fallback) const
{
    return settings_->value(key, fallback);
}

void FileSettings::setValue(const QString& key, const QVariant& value)
{
    settings_->setValue(key, value);
    // Written at once: a second KOLVA (or the next start after a crash)
    // finds what this one chose.
    settings_->sync();
}

QString FileSettings::fileName() const
{
    return settings_->fileName();
}

} // namespace kolva
