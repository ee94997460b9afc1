#pragma once
// The storage card import behind the Main window's "Import Field Data from
// Storage Card" button: the messages, the busy pointer and the state of the
// button around the steps of fieldimport.h.

#include "card/fieldimport.h"
#include "store/context.h"

class QCheckBox;
class QListWidget;
class QPushButton;
class QWidget;

namespace kolva {

class DriveList;

// The Main window's controls the import uses.
struct ImportSdControls {
    QWidget* window = nullptr;          // owner of the messages
    DriveList* Drive1 = nullptr;        // the chosen card
    QListWidget* File1 = nullptr;       // filled with the card's .tree files
    QCheckBox* chkSavePDAFiles = nullptr; // move the files into the backup folder
    QPushButton* cmdImportSD = nullptr; // disabled while the import runs
};

// The whole import. cmdImportSD is disabled and the busy pointer shows while
// it works, and both come back on every way out; every message goes through
// the context's prompter, with the normal pointer.
void importFieldData(const AppContext& context, const ImportSdControls& controls,
                     CardFiles& files = systemCardFiles());

// The messages of the import.
namespace importsd {
QString systemVolumeQuestion(const QString& drive);
QString notACardMessage(const QString& drive);
QString countMessage(int count);
} // namespace importsd

} // namespace kolva
