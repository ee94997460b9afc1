// Which window each menu item of the Main window opens, and how.

#include "app/frmAbout.h"
#include "app/frmMain.h"
#include "app/startup.h"
#include "card/frmMakeStorageCard.h"

namespace kolva {

void bindMenuWindows(frmMain& main)
{
    const AppContext context = main.context();
    main.bindWindow(main.menuItem(QStringLiteral("mnuAbout")), OpenMode::Modal,
                    [context] { return new frmAbout(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuCreateStorageCard")), OpenMode::Modal,
                    [context] { return new frmMakeStorageCard(context); });
}

} // namespace kolva
