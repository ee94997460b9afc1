#include "app/frmMain.h"

#include "app/documents.h"
#include "app/logo.h"
#include "card/importsd.h"
#include "platform/controls.h"
#include "platform/drivelist.h"
#include "platform/progress.h"
#include "platform/settings.h"
#include "platform/twips.h"
#include "store/context.h"
#include "store/database.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace kolva {

QString frmMain::productWebAddress(const QString& programDir)
{
    return QUrl::fromLocalFile(QDir(programDir).absoluteFilePath(QStringLiteral("KOLVA_Graphic_Reports.html")))
        .toString();
}

frmMain::frmMain(AppContext context, QWidget* parent) : QMainWindow(parent), context_(context)
{
    setObjectName(QStringLiteral("frmMain"));
    // A shared server database is named, so that two windows on two
    // databases are told apart.
    setWindowTitle(context_.db.isServer() ? QStringLiteral("KOLVA - %1").arg(context_.db.path())
                                          : QStringLiteral("KOLVA"));
    setWindowIcon(QIcon(kolvaLogo(64)));
    buildFace();
    buildMenu();
}

void frmMain::buildFace()
{
    auto* face = new QWidget(this);
    setCentralWidget(face);
    auto* outer = new QVBoxLayout(face);
    outer->setContentsMargins(12, 8, 12, 10);

    // Title block: the two logos in a frame shape around the product name.
    auto* Shape1 = new QFrame(face);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::StyledPanel);
    auto* titleRow = new QHBoxLayout(Shape1);
    auto* Image1 = makeLabel(QStringLiteral("Image1"), {}, Shape1);
    Image1->setPixmap(kolvaLogo(64));
    Image1->setAccessibleName(QStringLiteral("KOLVA logo"));
    auto* Image2 = makeLabel(QStringLiteral("Image2"), {}, Shape1);
    Image2->setPixmap(kolvaRiskMark(64));
    Image2->setAccessibleName(QStringLiteral("Risk rating mark"));
    auto* names = new QVBoxLayout;
    auto* Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("KOLVA"), Shape1);
    QFont big = Label1->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    Label1->setFont(big);
    auto* Label2 = makeLabel(QStringLiteral("Label2"), productLongName(), Shape1);
    QFont mid = Label2->font();
    mid.setBold(true);
    Label2->setFont(mid);
    auto* Label3 = makeLabel(QStringLiteral("Label3"), QStringLiteral("BETA Release 20080102"), Shape1);
    for (QLabel* label : {Label1, Label2, Label3}) {
        label->setAlignment(Qt::AlignHCenter);
        names->addWidget(label);
    }
    titleRow->addWidget(Image1);
    titleRow->addLayout(names, 1);
    titleRow->addWidget(Image2);
    outer->addWidget(Shape1);

    // The storage card controls.
    auto* frameSD = new QGroupBox(QStringLiteral("Storage Card Data Transfer"), face);
    frameSD->setObjectName(QStringLiteral("frameSD"));
    auto* card = new QVBoxLayout(frameSD);
    auto* Label4 = makeLabel(QStringLiteral("Label4"), QStringLiteral("Select Storage Card"), frameSD);
    card->addWidget(Label4);
    auto* driveRow = new QHBoxLayout;
    Drive1_ = new DriveList(context_.drives, context_.prompter, frameSD, &context_.settings);
    Drive1_->setObjectName(QStringLiteral("Drive1"));
    Drive1_->setAccessibleName(Label4->text());
    Label4->setBuddy(Drive1_);
    auto* cmdRefresh = makeButton(QStringLiteral("cmdRefresh"), QStringLiteral("Refresh  List"), frameSD);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmMain::cmdRefresh_Click);
    driveRow->addWidget(Drive1_, 1);
    driveRow->addWidget(cmdRefresh);
    card->addLayout(driveRow);

    // The field data files of the chosen card, listed by the import.
    File1_ = new QListWidget(frameSD);
    File1_->setObjectName(QStringLiteral("File1"));
    File1_->setAccessibleName(QStringLiteral("Field data files on the storage card"));
    File1_->setVisible(false);
    card->addWidget(File1_);

    chkSavePDAFiles_ = new QCheckBox(
        QStringLiteral("Save Individual Tree Files from PDA to this computer after data Transfer"), frameSD);
    chkSavePDAFiles_->setObjectName(QStringLiteral("chkSavePDAFiles"));
    // Ticked unless the user cleared it (remembered from the last run).
    chkSavePDAFiles_->setChecked(context_.settings.saveTreeFiles());
    connect(chkSavePDAFiles_, &QCheckBox::toggled, this,
            [this](bool checked) { context_.settings.setSaveTreeFiles(checked); });
    card->addWidget(chkSavePDAFiles_);
    cmdImportSD_ = makeButton(QStringLiteral("cmdImportSD"), QStringLiteral("Import Field Data from Storage Card"),
                              frameSD);
    cmdImportSD_->setMinimumHeight(twipsToPixels(540));
    connect(cmdImportSD_, &QPushButton::clicked, this, &frmMain::cmdImportSD_Click);
    card->addWidget(cmdImportSD_);
    outer->addWidget(frameSD);
    outer->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    auto* Command2 = makeButton(QStringLiteral("Command2"), QStringLiteral("E&xit"), face);
    connect(Command2, &QPushButton::clicked, this, &frmMain::mnuExit_Click);
    bottom->addWidget(Command2);
    outer->addLayout(bottom);
}

void frmMain::buildMenu()
{
    QMenuBar* bar = menuBar();
    const auto addMenu = [bar](const QString& name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(name);
        menu->menuAction()->setObjectName(name);
        return menu;
    };
    const auto addItem = [](QMenu* menu, const QString& name, const QString& caption) {
        QAction* item = menu->addAction(caption);
        item->setObjectName(name);
        item->setEnabled(false); // until a window or an action is bound to it
        return item;
    };

    QMenu* mnuFile = addMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
    addItem(mnuFile, QStringLiteral("mnuSurveyor"), QStringLiteral("&Surveyor List"));
    addItem(mnuFile, QStringLiteral("mnuImportSpecies"), QStringLiteral("&Import Species by Climate Zone"));
    addItem(mnuFile, QStringLiteral("mnuSpecies"), QStringLiteral("Edit S&pecies List"));
    addItem(mnuFile, QStringLiteral("mnuRiskZone"), QStringLiteral("&Risk Zone Descriptions"));
    addItem(mnuFile, QStringLiteral("mnuRating"), QStringLiteral("&Customize Risk Rating"));
    addItem(mnuFile, QStringLiteral("mnuStreet"), QStringLiteral("S&treet List"));
    addItem(mnuFile, QStringLiteral("mnuExcelExport"), QStringLiteral("&Export Data to Excel CSV file"));
    addItem(mnuFile, QStringLiteral("mnuCreateStorageCard"), QStringLiteral("Cre&ate/Update an KOLVA Storage Card"));
    mnuFile->addSeparator();
    QAction* mnuExit = addItem(mnuFile, QStringLiteral("mnuExit"), QStringLiteral("E&xit"));
    mnuExit->setEnabled(true);
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);

    QMenu* mnuEdit = addMenu(QStringLiteral("mnuEdit"), QStringLiteral("&Edit"));
    addItem(mnuEdit, QStringLiteral("mnuEditTree"), QStringLiteral("E&dit a tree record"));

    // Switched off: it has never had an action.
    QMenu* mnuArbovia = addMenu(QStringLiteral("mnuArbovia"), QStringLiteral("Arbovia"));
    addItem(mnuArbovia, QStringLiteral("mnuArbovia_Import"), QStringLiteral("Import Arbovia &Street or Species List"));
    mnuArbovia->menuAction()->setEnabled(false);

    QMenu* mnuCosting = addMenu(QStringLiteral("mnuCosting"), QStringLiteral("&Costing and Estimating"));
    addItem(mnuCosting, QStringLiteral("mnuCostSetup"), QStringLiteral("&Setup Costs by DBH and Corrective Action"));

    QMenu* mnuReports = addMenu(QStringLiteral("mnuReports"), QStringLiteral("&Reports"));
    addItem(mnuReports, QStringLiteral("mnuCostReport"), QStringLiteral("&Risk Reduction Cost Summary"));
    addItem(mnuReports, QStringLiteral("mnuReinspectionReport"), QStringLiteral("&Reinspection  Report"));
    addItem(mnuReports, QStringLiteral("mnuTreesNeedingCA"), QStringLiteral("&Trees Needing Corrective Action"));
    addItem(mnuReports, QStringLiteral("mnuSpecificActionReport"),
            QStringLiteral("Trees &Needing  A Specific Corrective Action"));
    addItem(mnuReports, QStringLiteral("mnuGisExport"), QStringLiteral("Export for &GIS..."));
    mnuReports->addSeparator();
    QAction* mnuCA_RefSheet = addItem(mnuReports, QStringLiteral("mnuCA_RefSheet"),
                                      QStringLiteral("&Print Corrective Action Code Reference Sheet (PDF)"));
    mnuCA_RefSheet->setEnabled(true);
    connect(mnuCA_RefSheet, &QAction::triggered, this, &frmMain::mnuCA_RefSheet_Click);
    QAction* mnuGraphicReport = addItem(mnuReports, QStringLiteral("mnuGraphicReport"),
                                        QStringLiteral("&Creating Graphic Reports (KOLVA help page)"));
    mnuGraphicReport->setEnabled(true);
    connect(mnuGraphicReport, &QAction::triggered, this, &frmMain::mnuGraphicReport_Click);
    mnuReports->addSeparator();
    addItem(mnuReports, QStringLiteral("mnuAbout"), QStringLiteral("&About"));
}

QAction* frmMain::menuItem(const QString& objectName) const
{
    for (QAction* action : menuBar()->findChildren<QAction*>()) {
        if (action->objectName() == objectName)
            return action;
    }
    return nullptr;
}

void frmMain::bindWindow(QAction* item, OpenMode mode, std::function<QWidget*()> make)
{
    Q_ASSERT(item);
    item->setEnabled(true);
    connect(item, &QAction::triggered, this, [this, item, mode, make = std::move(make)] {
        // A window reads what it shows as it is made: when the database
        // cannot be read (another program holds it locked, a damaged page),
        // the window is not opened and the reason is said.
        try {
            windows_[item].open(this, mode, make);
        } catch (const DbError& error) {
            const QString why = isDatabaseLocked(error)
                                    ? QStringLiteral("the database is in use by another program, which keeps it "
                                                     "locked. Try again in a moment.")
                                    : QStringLiteral("the database reported an error.");
            context_.prompter.message(
                this, {QStringLiteral("\"%1\" could not be opened: %2\n\n%3")
                           .arg(QString(item->text()).remove(QLatin1Char('&')), why, error.message()),
                       QStringLiteral("KOLVA"), MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
        }
    });
}

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
}

void frmMain::Form_Load()
{
    // The designed height is 5880 twips; the width stays as laid out. Where
    // the user left the window last time, it opens there again.
    resize(width(), twipsToPixels(5880));
    placeWindow(this, context_.settings);
}

void frmMain::cmdRefresh_Click()
{
    Drive1_->refresh();
}

void frmMain::cmdImportSD_Click()
{
    if (changeRefused(context_, this, QStringLiteral("KOLVA")))
        return;
    importFieldData(context_, {this, Drive1_, File1_, chkSavePDAFiles_, cmdImportSD_});
}

void frmMain::mnuExit_Click()
{
    close();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (exiting_) {
        event->accept();
        return;
    }
    // Work still running in the background (an import, a report, an export)
    // is asked to stop, and the program ends only once every job has ended:
    // a job stops where stopping leaves nothing half-done, and its closing
    // message says what it did.
    if (!BackgroundJob::running().isEmpty()) {
        event->ignore();
        if (!waitingForJobs_) {
            waitingForJobs_ = true;
            BackgroundJob::stopAll(this, [this] {
                waitingForJobs_ = false;
                close();
            });
        }
        return;
    }
    // Every other window is asked to close first, so that each can finish
    // what it holds (the Tree editor writes a changed record back). A window
    // that refuses (a record that cannot be stored) keeps the program running.
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible() && !window->parentWidget())
            windows.append(window);
    }
    for (const QPointer<QWidget>& window : std::as_const(windows)) {
        if (window && window->isVisible() && !window->close()) {
            event->ignore();
            return;
        }
    }
    exiting_ = true;
    event->accept();
    emit exitRequested();
}

void frmMain::mnuCA_RefSheet_Click()
{
    OpenDocument(context_.prompter, context_.shell, this,
                 QDir(context_.programDir).filePath(QStringLiteral("KOLVA_Corrective_Actions.PDF")));
}

void frmMain::mnuGraphicReport_Click()
{
    OpenWebPage(context_.prompter, context_.shell, this, productWebAddress(context_.programDir), 0,
                context_.programDir);
}

} // namespace kolva
