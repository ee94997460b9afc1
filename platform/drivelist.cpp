#include "platform/drivelist.h"

#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

namespace kolva {

namespace {
constexpr int RootRole = Qt::UserRole;
constexpr int SystemRole = Qt::UserRole + 1;
} // namespace

QString DriveList::otherFolderText()
{
    return tr("Other folder...");
}

DriveList::DriveList(Drives& drives, Prompter& prompter, QWidget* parent, Settings* settings)
    : QComboBox(parent), drives_(drives), prompter_(prompter), settings_(settings)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(18);
    connect(this, &QComboBox::activated, this, &DriveList::onActivated);
    QString last;
    if (settings_) {
        // A remembered folder that is gone (a copy deleted, a share not
        // mounted) is not offered; it stays remembered for when it is back.
        for (const QString& folder : settings_->cardFolders()) {
            if (QFileInfo(folder).isDir() && !folders_.contains(folder))
                folders_.append(folder);
        }
        last = settings_->cardLocation();
    }
    fill(last);
}

void DriveList::remember()
{
    if (!settings_)
        return;
    QStringList folders = settings_->cardFolders();
    for (const QString& folder : std::as_const(folders_)) {
        if (!folders.contains(folder))
            folders.append(folder);
    }
    settings_->setCardFolders(folders);
    settings_->setCardLocation(selectedRoot());
}

void DriveList::refresh()
{
    fill(selectedRoot());
}

int DriveList::indexOfRoot(const QString& root) const
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i, RootRole).toString() == root && !root.isEmpty())
            return i;
    }
    return -1;
}

void DriveList::fill(const QString& keepRoot)
{
    const QSignalBlocker blocker(this);
    clear();
    int firstCard = -1;
    for (const Volume& volume : drives_.volumes()) {
        QString text = QDir::toNativeSeparators(volume.rootPath);
        if (!volume.name.isEmpty())
            text += QStringLiteral("  [") + volume.name + QLatin1Char(']');
        addItem(text);
        setItemData(count() - 1, volume.rootPath, RootRole);
        setItemData(count() - 1, volume.isSystem, SystemRole);
        if (!volume.isSystem && firstCard < 0)
            firstCard = count() - 1;
    }
    for (const QString& folder : std::as_const(folders_)) {
        if (indexOfRoot(folder) >= 0)
            continue;
        addItem(QDir::toNativeSeparators(folder));
        setItemData(count() - 1, folder, RootRole);
        setItemData(count() - 1, false, SystemRole);
    }
    addItem(otherFolderText());

    // The choice stays, unless it was the system volume and a card has come:
    // a card inserted since is what the user refreshed the list for.
    int choice = indexOfRoot(keepRoot);
    if (choice < 0 || (firstCard >= 0 && itemData(choice, SystemRole).toBool()))
        choice = firstCard >= 0 ? firstCard : (count() > 1 ? 0 : -1);
    setCurrentIndex(choice);
    lastChoice_ = choice;
}

QString DriveList::selectedRoot() const
{
    return currentIndex() >= 0 ? itemData(currentIndex(), RootRole).toString() : QString();
}

bool DriveList::selectedIsSystem() const
{
    return currentIndex() >= 0 && itemData(currentIndex(), SystemRole).toBool();
}

void DriveList::addFolder(const QString& path)
{
    const QString folder = QDir::cleanPath(path);
    if (!folders_.contains(folder))
        folders_.append(folder);
    fill(folder);
    remember();
}

void DriveList::onActivated(int index)
{
    if (index != count() - 1) {
        lastChoice_ = index;
        remember();
        return;
    }
    const QString start = lastChoice_ >= 0 ? itemData(lastChoice_, RootRole).toString() : QDir::homePath();
    const QString folder =
        prompter_.chooseFolder(this, tr("Select the folder that holds the storage card files"), start);
    if (folder.isEmpty()) {
        const QSignalBlocker blocker(this);
        setCurrentIndex(lastChoice_);
        return;
    }
    addFolder(folder);
}

} // namespace kolva
