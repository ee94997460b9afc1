// Which window each menu item of the Main window opens, and how.

#include "app/frmAbout.h"
#include "app/frmMain.h"
#include "app/startup.h"
#include "card/frmMakeStorageCard.h"
#include "costing/frmCostReportOptions.h"
#include "costing/frmEnterCosts.h"
#include "costing/frmExcelExport.h"
#include "gis/frmGisExport.h"
#include "lists/frmImportKelmarSpecies.h"
#include "lists/frmLookupList.h"
#include "lists/frmStreetList.h"
#include "reports/frmReinspectionReportOptions.h"
#include "reports/frmSpecificCA_Options.h"
#include "reports/frmTreesNeedingCA_Options.h"
#include "trees/frmEditTree.h"
#include "trees/frmRating.h"

namespace kolva {

void bindMenuWindows(frmMain& main)
{
    const AppContext context = main.context();
    main.bindWindow(main.menuItem(QStringLiteral("mnuAbout")), OpenMode::Modal,
                    [context] { return new frmAbout(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuEditTree")), OpenMode::ModalInvisibleOpener,
                    [context] { return new frmEditTree(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuRating")), OpenMode::HideOpener,
                    [context] { return new frmRating(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuReinspectionReport")), OpenMode::HideOpener,
                    [context] { return new frmReinspectionReportOptions(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuTreesNeedingCA")), OpenMode::HideOpener,
                    [context] { return new frmTreesNeedingCA_Options(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuSpecificActionReport")), OpenMode::HideOpener,
                    [context] { return new frmSpecificCA_Options(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuCreateStorageCard")), OpenMode::Modal,
                    [context] { return new frmMakeStorageCard(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuCostSetup")), OpenMode::HideOpener,
                    [context] { return new frmEnterCosts(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuCostReport")), OpenMode::HideOpener,
                    [context] { return new frmCostReportOptions(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuExcelExport")), OpenMode::Modal,
                    [context] { return new frmExcelExport(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuGisExport")), OpenMode::Modal,
                    [context] { return new frmGisExport(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuSurveyor")), OpenMode::HideOpener,
                    [context] { return new frmSurveyors(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuSpecies")), OpenMode::HideOpener,
                    [context] { return new frmSpecies(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuRiskZone")), OpenMode::HideOpener,
                    [context] { return new frmRiskZone(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuStreet")), OpenMode::HideOpener,
                    [context] { return new frmStreetList(context); });
    main.bindWindow(main.menuItem(QStringLiteral("mnuImportSpecies")), OpenMode::Modal,
                    [context] { return new frmImportKelmarSpecies(context); });
}

} // namespace kolva
