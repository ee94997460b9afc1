#pragma once
// The list where the user picks the storage card: the mounted volumes, the
// folders the user added, and a last entry that adds a folder holding a copy
// of a card. With settings, the folders added and the choice are remembered
// for the next start (and for the other windows that list the cards).

#include <QComboBox>

namespace kolva {

class Drives;
class Prompter;
class Settings;

class DriveList : public QComboBox {
    Q_OBJECT
public:
    DriveList(Drives& drives, Prompter& prompter, QWidget* parent = nullptr, Settings* settings = nullptr);

    // Reads the volumes again; a card inserted after start shows only then.
    void refresh();
    // The root folder of the chosen volume, or the chosen folder.
    QString selectedRoot() const;
    // True when the choice is the system volume itself.
    bool selectedIsSystem() const;
    // Adds a folder to the list and selects it.
    void addFolder(const QString& path);

    static QString otherFolderText();

private:
    void onActivated(int index);
    void fill(const QString& keepRoot);
    int indexOfRoot(const QString& root) const;
    void remember();

    Drives& drives_;
    Prompter& prompter_;
    Settings* settings_;
    QStringList folders_;
    int lastChoice_ = -1;
};

} // namespace kolva
