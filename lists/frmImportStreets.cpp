#include "lists/frmImportStreets.h"

#include "lists/streets.h"
#include "platform/settings.h"
#include "platform/controls.h"
#include "platform/failure.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "store/context.h"
#include "store/database.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <memory>

namespace kolva {

namespace {

QString nothingImported() { return QStringLiteral("Operation Cancelled.  No streets were imported"); }

} // namespace

frmImportStreets::frmImportStreets(AppContext context, QWidget* parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmImportStreets"));
    setWindowTitle(QStringLiteral("Import Streets from an Excel CSV File"));

    auto* outer = new QVBoxLayout(this);
    const QString texts[] = {
        QStringLiteral("This will allow you to import a list of streets from an Excel CSV (Comma Separated Values) "
                       "file.   See the manual for instructions on how to create this file.   The Street Names MUST be "
                       "in the FIRST column of the file - any other columns are ignored."),
        QStringLiteral("Street names imported here are ADDED to any existing Street names already in your Arbovia "
                       "street list.  An attempt is made to check for and exclude EXACT duplicates. You will need to "
                       "scan your street list to make sure that any unintended duplicates caused by small mispellings "
                       "or non-standardization are deleted.")};
    for (int i = 0; i < 2; ++i) {
        QLabel* label = makeLabel(QStringLiteral("Label1(%1)").arg(i), texts[i], this);
        label->setWordWrap(true);
        outer->addWidget(label);
        outer->addSpacing(6);
    }
    QLabel* Label2 = makeLabel(QStringLiteral("Label2"),
                               QStringLiteral("Please review your Excel file to make sure that there are NO COMMAS or "
                                              "APOSTROPHES within a Street Name as this may confuse the import "
                                              "routine!"),
                               this);
    Label2->setWordWrap(true);
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    outer->addWidget(Label2);
    outer->addSpacing(10);

    cmdDoIt_ = makeButton(QStringLiteral("cmdDoIt"), QStringLiteral("Find CSV file and Import the Data"), this);
    cmdDoIt_->setAutoDefault(true);
    cmdDoIt_->setMinimumHeight(36);
    outer->addWidget(cmdDoIt_);
    outer->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    cmdExit_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this);
    cmdExit_->setAutoDefault(true);
    bottom->addWidget(cmdExit_);
    outer->addLayout(bottom);

    connect(cmdDoIt_, &QPushButton::clicked, this, &frmImportStreets::cmdDoIt_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);
    resize(520, 340);
}

void frmImportStreets::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        placeWindow(this, context_.settings);
}

void frmImportStreets::closeEvent(QCloseEvent* event)
{
    // The window stays while an import runs; the import's own dialog offers Cancel.
    if (importing_)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

void frmImportStreets::cancelled()
{
    context_.prompter.inform(this, nothingImported(), QStringLiteral("Cancelled"));
}

void frmImportStreets::cmdDoIt_Click()
{
    if (importing_ || changeRefused(context_, this, windowTitle()))
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Find the Excel CSV File of Street Names");
    // A sheet saved as "Unicode text" is a .txt file.
    request.filter = QStringLiteral("Excel CSV Files (*.CSV *.csv);;Unicode Text Files (*.TXT *.txt)");
    request.defaultSuffix = QStringLiteral("CSV");
    request.folder = QDir::homePath();
    const QString path = context_.prompter.openFileName(this, request);
    if (path.isEmpty()) {
        cancelled();
        return;
    }

    importing_ = true;
    cmdDoIt_->setEnabled(false);
    cmdExit_->setEnabled(false);
    auto result = std::make_shared<StreetImportResult>();
    const QString databasePath = context_.db.path();
    QPointer<frmImportStreets> self(this);
    BackgroundJob::start(
        this, QStringLiteral("Importing streets"),
        [databasePath, path, result](Progress& progress) { *result = importStreetFile(databasePath, path, progress); },
        [self, path, result](std::exception_ptr error) {
            if (!self)
                return;
            self->importing_ = false;
            self->cmdDoIt_->setEnabled(true);
            self->cmdExit_->setEnabled(true);
            if (!error) {
                self->context_.prompter.inform(self, QString::number(result->added) + QStringLiteral(" street names imported"),
                                               QStringLiteral("Done"));
            } else {
                // Nothing was added, whatever stopped the import.
                const QString nothing = nothingImported();
                FailureReport report;
                report.caption = QStringLiteral("Cancelled");
                report.icon = MsgIcon::Information;
                report.subject = QDir::toNativeSeparators(path);
                report.text = nothing + QStringLiteral("\n\n%1");
                report.fileText = nothing + QStringLiteral("\n\nThe file %3 could not be read: %1.");
                report.databaseText = nothing + QStringLiteral("\n\nThe streets of %3 could not be saved in the database: %1");
                report.stoppedText = nothing;
                reportFailure(self->context_.prompter, self, report, error);
            }
            emit self->importFinished();
        });
}

} // namespace kolva
