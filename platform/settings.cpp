#include "platform/settings.h"

#include "platform/windows.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

// Remembers the place and size of the window it watches whenever the window
// is hidden or closed.
class GeometryKeeper : public QObject {
public:
    GeometryKeeper(QWidget* window, Settings& settings) : QObject(window), window_(window), settings_(settings)
    {
        setObjectName(QStringLiteral("kolvaGeometryKeeper"));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && (event->type() == QEvent::Hide || event->type() == QEvent::Close) &&
            !window_->isMinimized() && !window_->objectName().isEmpty())
            settings_.setWindowGeometry(window_->objectName(), window_->saveGeometry());
        return false;
    }

private:
    QWidget* window_;
    Settings& settings_;
};

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

void placeWindow(QWidget* window, Settings& settings)
{
    const QByteArray saved = settings.windowGeometry(window->objectName());
    bool placed = false;
    if (!saved.isEmpty() && window->restoreGeometry(saved))
        placed = QGuiApplication::screenAt(window->frameGeometry().center()) != nullptr;
    if (!placed)
        centreOnScreen(window);
    if (!window->findChild<GeometryKeeper*>(QStringLiteral("kolvaGeometryKeeper"), Qt::FindDirectChildrenOnly))
        new GeometryKeeper(window, settings);
}

} // namespace kolva
