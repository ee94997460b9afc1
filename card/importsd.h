#pragma once
// The storage card import behind the Main window's "Import Field Data from
// Storage Card" button: the questions and messages around the steps of
// fieldimport.h, which run off the window thread with a progress dialog.

#include "card/fieldimport.h"
#include "card/importmessages.h"
#include "store/context.h"

#include <functional>

class QCheckBox;
class QListWidget;
class QPushButton;
class QWidget;

namespace kolva {

class DriveList;

// The Main window's controls the import uses.
struct ImportSdControls {
    QWidget* window = nullptr;          // owner of the messages and the progress dialog
    DriveList* Drive1 = nullptr;        // the chosen card
    QListWidget* File1 = nullptr;       // filled with the card's .tree files
    QCheckBox* chkSavePDAFiles = nullptr; // move the files into the backup folder
    QPushButton* cmdImportSD = nullptr; // disabled while the import runs
};

// Starts the whole import and returns; the reading and the saving run on a
// thread of their own while a progress dialog shows how far they are.
// cmdImportSD stays disabled until the closing message has been answered;
// done, when given, runs after that, on every way out. Every message goes
// through the context's prompter, with the normal pointer.
void importFieldData(const AppContext& context, const ImportSdControls& controls,
                     CardFiles& files = systemCardFiles(), std::function<void()> done = {});

} // namespace kolva
