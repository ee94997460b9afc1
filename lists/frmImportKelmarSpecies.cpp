#include "lists/frmImportKelmarSpecies.h"

#include "lists/speciesimport.h"
#include "platform/settings.h"
#include "platform/busycursor.h"
#include "platform/controls.h"
#include "platform/failure.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "store/context.h"
#include "store/accessfile.h"
#include "store/database.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace kolva {

namespace {

const QString FileErrorCaption = QStringLiteral("Database File Error");

} // namespace

frmImportKelmarSpecies::frmImportKelmarSpecies(AppContext context, QWidget* parent)
    : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmImportKelmarSpecies"));
    setWindowTitle(QStringLiteral("Import Tree Species By Climate Zone"));

    auto* outer = new QVBoxLayout(this);
    QLabel* lblTitle = makeLabel(QStringLiteral("lblTitle"), QStringLiteral("Import Tree Species By Climate Zone"), this);
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    lblTitle->setFont(big);
    lblTitle->setAlignment(Qt::AlignHCenter);
    QLabel* lblWarning = makeLabel(
        QStringLiteral("lblWarning"),
        QStringLiteral("(If you do this, IT WILL REPLACE any species list that may already be in KOLVA)"), this);
    lblWarning->setAlignment(Qt::AlignHCenter);
    lblWarning->setWordWrap(true);
    outer->addWidget(lblTitle);
    outer->addWidget(lblWarning);

    auto* Frame1 = new QGroupBox(
        QStringLiteral("Step 1:  Locate Kelmar_Species_List.MDB (Enter Path or Browse for the file)"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* pathRow = new QHBoxLayout(Frame1);
    txtPath_ = makeTextBox(QStringLiteral("txtPath"), QStringLiteral("Path of the species database"), Frame1);
    cmdBrowse_ = new QToolButton(Frame1);
    cmdBrowse_->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    cmdBrowse_->setAccessibleName(QStringLiteral("Browse for the species database"));
    cmdBrowse_->setToolTip(QStringLiteral("Browse for the species database"));
    pathRow->addWidget(txtPath_, 1);
    pathRow->addWidget(cmdBrowse_);
    outer->addWidget(Frame1);

    cmdRefresh_ = makeButton(QStringLiteral("cmdRefresh"), QStringLiteral("Refresh Climate Zone List"), this);
    auto* refreshRow = new QHBoxLayout;
    refreshRow->addWidget(cmdRefresh_);
    refreshRow->addStretch(1);
    outer->addLayout(refreshRow);

    auto* Frame2 = new QGroupBox(QStringLiteral("Step2 : Select from the available climate zones in this file"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* zoneRow = new QHBoxLayout(Frame2);
    cmbClimateZone_ = new QComboBox(Frame2);
    cmbClimateZone_->setObjectName(QStringLiteral("cmbClimateZone"));
    cmbClimateZone_->setAccessibleName(Frame2->title());
    cmbClimateZone_->setPlaceholderText(QStringLiteral("(choose a climate zone)"));
    cmbClimateZone_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbClimateZone_->setMinimumContentsLength(24);
    zoneRow->addWidget(cmbClimateZone_, 1);
    outer->addWidget(Frame2);

    auto* Frame3 = new QGroupBox(QStringLiteral("Step 3 - Indicate Preference"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto* optionRow = new QVBoxLayout(Frame3);
    const QString optionTexts[] = {QStringLiteral("Import COMMON Name"), QStringLiteral("Import SCIENTIFIC  Name")};
    for (int i = 0; i < 2; ++i) {
        optSpecies[size_t(i)] = new QRadioButton(optionTexts[i], Frame3);
        optSpecies[size_t(i)]->setObjectName(QStringLiteral("optSpecies(%1)").arg(i));
        optionRow->addWidget(optSpecies[size_t(i)]);
    }
    optSpecies[0]->setChecked(true);
    outer->addWidget(Frame3);
    outer->addStretch(1);

    auto* buttons = new QHBoxLayout;
    cmdImport_ = makeButton(QStringLiteral("cmdImport"), QStringLiteral("Import"), this);
    cmdExit_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this);
    for (QPushButton* b : {cmdRefresh_, cmdImport_, cmdExit_})
        b->setAutoDefault(true); // Enter presses the button that has the focus
    buttons->addStretch(1);
    buttons->addWidget(cmdImport_);
    buttons->addWidget(cmdExit_);
    outer->addLayout(buttons);

    connect(cmdBrowse_, &QToolButton::clicked, this, &frmImportKelmarSpecies::cmdBrowse_Click);
    connect(cmdRefresh_, &QPushButton::clicked, this, &frmImportKelmarSpecies::cmdRefresh_Click);
    connect(cmdImport_, &QPushButton::clicked, this, &frmImportKelmarSpecies::cmdImport_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    resize(sizeHint().expandedTo(QSize(560, 0)));
    Form_Load();
}

void frmImportKelmarSpecies::Form_Load()
{
    const QString path = defaultSpeciesDatabasePath(context_.programDir);
    txtPath_->setText(QDir::toNativeSeparators(path));
    LoadClimateZones(path);
}

void frmImportKelmarSpecies::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        placeWindow(this, context_.settings);
    }
}

void frmImportKelmarSpecies::closeEvent(QCloseEvent* event)
{
    if (importing_)
        event->ignore(); // the species list is being written
    else
        QWidget::closeEvent(event);
}

void frmImportKelmarSpecies::LoadClimateZones(const QString& path)
{
    cmbClimateZone_->clear();
    // A missing or unreadable file leaves the list empty, without a
    // question over the window: the list itself says why, and the user can
    // browse for the file.
    cmbClimateZone_->setPlaceholderText(QString());
    try {
        const std::unique_ptr<AccessFile> file = openSpeciesDatabase(path);
        cmbClimateZone_->addItems(climateZones(*file));
    } catch (const SpeciesFileError& error) {
        cmbClimateZone_->setPlaceholderText(error.message());
    }
    cmbClimateZone_->setCurrentIndex(-1);
}

void frmImportKelmarSpecies::cmdBrowse_Click()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Find Kelmar_Species_Database.MDB");
    request.filter = QStringLiteral("MDB Files (*.MDB *.mdb)");
    request.defaultSuffix = QStringLiteral("MDB");
    request.proposedName = QDir(context_.programDir).filePath(speciesDatabaseFileName());
    request.folder = context_.programDir;
    const QString path = context_.prompter.openFileName(this, request);
    if (path.isEmpty()) {
        context_.prompter.warn(this, QStringLiteral("Species import cancelled"), QStringLiteral("Cancelled"));
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    txtPath_->setText(QDir::toNativeSeparators(path));
}

void frmImportKelmarSpecies::cmdRefresh_Click()
{
    const QString path = txtPath_->text().trimmed();
    try {
        const std::unique_ptr<AccessFile> file = openSpeciesDatabase(path);
    } catch (const SpeciesFileError& error) {
        cmbClimateZone_->clear();
        switch (error.reason()) {
        case SpeciesFileError::Reason::NotSpeciesData:
            context_.prompter.inform(this, error.message(), QStringLiteral("Upload Cancelled"));
            break;
        case SpeciesFileError::Reason::Missing:
            context_.prompter.critical(this,
                                       QStringLiteral("Cannot open the file you selected\n\n") +
                                           QDir::toNativeSeparators(path),
                                       QStringLiteral("Error"));
            break;
        default: context_.prompter.warn(this, error.message(), FileErrorCaption); break;
        }
        return;
    }
    LoadClimateZones(path);
}

void frmImportKelmarSpecies::setWorking(bool working)
{
    importing_ = working;
    for (QWidget* w : std::initializer_list<QWidget*>{cmdImport_, cmdExit_, cmdRefresh_, cmdBrowse_, txtPath_,
                                                       cmbClimateZone_, optSpecies[0], optSpecies[1]})
        w->setEnabled(!working);
}

void frmImportKelmarSpecies::cmdImport_Click()
{
    if (importing_ || changeRefused(context_, this, windowTitle()))
        return;
    const QString path = txtPath_->text().trimmed();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        context_.prompter.critical(
            this, QStringLiteral("Cannot open the file you selected\n\n") + QDir::toNativeSeparators(path),
            QStringLiteral("Error"));
        return;
    }

    QStringList descriptions;
    {
        BusyCursor busy;
        std::unique_ptr<AccessFile> file;
        try {
            file = openSpeciesDatabase(path);
        } catch (const SpeciesFileError& error) {
            busy.release();
            if (error.reason() == SpeciesFileError::Reason::NotSpeciesData)
                context_.prompter.inform(this, error.message(), QStringLiteral("Upload Cancelled"));
            else
                context_.prompter.warn(this, error.message(), FileErrorCaption);
            return;
        }
        const QString zone = cmbClimateZone_->currentText();
        if (zone.trimmed().isEmpty()) {
            busy.release();
            context_.prompter.warn(this, QStringLiteral("Please select a climate zone"),
                                   QStringLiteral("No Climate Zone Selected"));
            cmbClimateZone_->setFocus();
            return;
        }
        try {
            descriptions = readZoneSpecies(*file, path, zone,
                                           optSpecies[0]->isChecked() ? SpeciesName::Common : SpeciesName::Scientific);
        } catch (const SpeciesFileError& error) {
            busy.release();
            context_.prompter.warn(this, error.message(), FileErrorCaption);
            return;
        }
    }

    MessageRequest confirm;
    confirm.text = QStringLiteral("There are ") + QString::number(descriptions.size()) +
                   QStringLiteral(" tree species in the selected file.\n\nThis will REPLACE any Species lists "
                                  "currently in your KOLVA file!\nDo you want to continue?");
    confirm.caption = QStringLiteral("Confirm Import");
    confirm.icon = MsgIcon::Question;
    confirm.buttons = MsgButtons::OkCancel;
    confirm.defaultButton = MsgAnswer::Ok;
    if (context_.prompter.message(this, confirm) != MsgAnswer::Ok) {
        context_.prompter.inform(this, QStringLiteral("Import Cancelled"), QStringLiteral("KOLVA"));
        return;
    }

    setWorking(true);
    const QString databasePath = context_.db.path();
    QPointer<frmImportKelmarSpecies> self(this);
    BackgroundJob::start(
        this, QStringLiteral("Importing species"),
        [databasePath, descriptions](Progress& progress) {
            const std::unique_ptr<Database> db = Database::open(databasePath);
            replaceSpecies(*db, descriptions, progress);
        },
        [self](std::exception_ptr error) {
            if (!self)
                return;
            self->setWorking(false);
            Prompter& prompter = self->context_.prompter;
            if (!error) {
                prompter.inform(self, QStringLiteral("Import Completed!"), QStringLiteral("Done"));
            } else {
                FailureReport report;
                report.caption = FileErrorCaption;
                report.text = QStringLiteral("Err #%2 - %1\n\nThe species list has not been changed.");
                reportFailure(prompter, self, report, error);
            }
            emit self->importFinished();
        });
}

} // namespace kolva
