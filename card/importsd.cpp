#include "card/importsd.h"

#include "platform/busycursor.h"
#include "platform/clock.h"
#include "platform/drivelist.h"
#include "platform/prompter.h"
#include "store/database.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

namespace kolva {

namespace importsd {

QString systemVolumeQuestion(const QString& drive)
{
    return QStringLiteral("It's fairly unlikely that your Storage Card is Drive ") + drive +
           QStringLiteral("\nAre you sure you wish to continue?");
}

QString notACardMessage(const QString& drive)
{
    return QStringLiteral("The selected drive letter (") + drive + QStringLiteral(") does not contain the KOLVA files");
}

QString countMessage(int count)
{
    if (count == 1)
        return QStringLiteral("There is 1 .TREE file on the selected storage card");
    return QStringLiteral("There are ") + QString::number(count) + QStringLiteral(" .TREE files on the selected storage card");
}

} // namespace importsd

namespace {

const QString DriveErrorText = QStringLiteral("There is a problem accessing the selected location.");
const QString DriveErrorCaption = QStringLiteral("File/Drive Error");

// Enables the button again when the import ends, however it ends.
class EnableOnExit {
public:
    explicit EnableOnExit(QPushButton* button) : button_(button) { button_->setEnabled(false); }
    ~EnableOnExit()
    {
        if (button_)
            button_->setEnabled(true);
    }
    EnableOnExit(const EnableOnExit&) = delete;
    EnableOnExit& operator=(const EnableOnExit&) = delete;

private:
    QPointer<QPushButton> button_;
};

QStringList listed(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

} // namespace

void importFieldData(const AppContext& context, const ImportSdControls& controls, CardFiles& files)
{
    Prompter& prompter = context.prompter;
    QWidget* owner = controls.window;
    const QString root = controls.Drive1->selectedRoot();
    const QString drive = displayFolder(root);

    if (controls.Drive1->selectedIsSystem()) {
        const MsgAnswer answer =
            prompter.message(owner, {importsd::systemVolumeQuestion(drive), QStringLiteral("Confirm Drive Location"),
                                     MsgIcon::Question, MsgButtons::OkCancel, MsgAnswer::Cancel});
        if (answer != MsgAnswer::Ok)
            return;
    }

    BusyCursor busy;
    const EnableOnExit enableAgain(controls.cmdImportSD);

    const QFileInfo folder(root);
    if (root.isEmpty() || !folder.isDir() || !folder.isReadable()) {
        busy.release();
        prompter.warn(owner, DriveErrorText, DriveErrorCaption);
        return;
    }
    if (!isKolvaCard(root)) {
        busy.release();
        prompter.warn(owner, importsd::notACardMessage(drive), QStringLiteral("Error"));
        return;
    }
    const QStringList found = listTreeFiles(root);
    if (found.isEmpty()) {
        busy.release();
        prompter.warn(owner,
                      QStringLiteral("The selected location DOES appear to be an KOLVA card, but it does NOT contain "
                                     "any field data."),
                      QStringLiteral("No field data on card"));
        return;
    }
    busy.release();
    controls.File1->clear();
    controls.File1->addItems(found);
    const QStringList names = listed(controls.File1);
    prompter.inform(owner, importsd::countMessage(names.size()), QStringLiteral("Tree Count"));

    BusyCursor working;
    ImportResult result;
    try {
        result = importTreeFiles(context.db, root, names, context.clock.now());
    } catch (const DbError& error) {
        working.release();
        prompter.critical(owner,
                          QStringLiteral("The field data could not be saved in the database: ") + error.message() +
                              QStringLiteral("\nNothing was imported; every .tree file is still on the storage card."),
                          QStringLiteral("Data Import Failed"));
        return;
    }

    const QStringList failed = result.failedNames();
    const QString backupDir = backupFolderPath(context.programDir, context.clock.today());
    QStringList inBackup;
    if (controls.chkSavePDAFiles->isChecked()) {
        const BackupResult moved = moveToBackup(root, names, backupDir, files);
        inBackup = moved.moved;
        if (!moved.ok()) {
            working.release();
            QString text = DriveErrorText;
            if (!failed.isEmpty())
                text += QLatin1Char('\n') + failedFilesReport(failed, inBackup, backupDir, root);
            prompter.warn(owner, text, DriveErrorCaption);
            return;
        }
    }
    working.release();
    QString done = QStringLiteral("Done!");
    if (!failed.isEmpty())
        done += QLatin1Char('\n') + failedFilesReport(failed, inBackup, backupDir, root);
    prompter.inform(owner, done, QStringLiteral("Data Import Completed"));
}

} // namespace kolva
