#pragma once
// What KOLVA remembers between runs: the database chosen, the last card
// location and the folders added with "Other folder...", the backup box,
// the places and sizes of the windows, the report paper. Windows get the
// settings through their context; the real ones live in the user's config
// folder ($XDG_CONFIG_HOME/kolva/kolva.ini), tests use a file of their own.

#include <QPageSize>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>


namespace kolva {

class Settings {
public:
    virtual ~Settings() = default;
    virtual QVariant value(const QString& key, const QVariant& fallback = {}) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;

    // The keys, one reader each, so that every window reads a setting alike.
    // The database to open when no --database is given; "" for none.
    QString databasePath() const;
    // The card location chosen last (a volume's root or a folder).
    QString cardLocation() const;
    void setCardLocation(const QString& root);
    // The folders added with "Other folder...", in the order added.
    QStringList cardFolders() const;
    void setCardFolders(const QStringList& folders);
    // "Save Individual Tree Files ..." (ticked unless the user cleared it).
    bool saveTreeFiles() const;
    void setSaveTreeFiles(bool save);
    // The paper reports are laid out on: Letter (the default) or A4.
    QPageSize::PageSizeId reportPaper() const;
    void setReportPaper(QPageSize::PageSizeId paper);
    // A window's place and size (QWidget::saveGeometry), by its object name.
    QByteArray windowGeometry(const QString& objectName) const;
    void setWindowGeometry(const QString& objectName, const QByteArray& geometry);
};

// The paper sizes a report can be laid out on.
bool isReportPaper(QPageSize::PageSizeId paper);

// Settings kept by QSettings in an INI file.
class FileSettings : public Settings {
public:
    // The user's settings: kolva/kolva.ini in the user's config folder.
    FileSettings();
    // The settings kept in that file (tests, a second configuration).
    explicit FileSettings(const QString& path);
    ~FileSettings() override;

    QVariant value(const QString& key, const QVariant& fallback = {}) const override;
    void setValue(const QString& key, const QVariant& value) override;
    QString fileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};


} // namespace kolva
