#include "costing/frmEnterCosts.h"

#include "costing/frmCostMatrixReport.h"
#include "costing/costtable.h"
#include "platform/settings.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "platform/twips.h"
#include "store/context.h"
#include "store/correctiveactions.h"
#include "store/database.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kolva {

namespace {

const QString ErrorCaption = QStringLiteral("Error");

} // namespace

frmEnterCosts::frmEnterCosts(const AppContext& context, QWidget* parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmEnterCosts"));
    setWindowTitle(QStringLiteral("Enter Cost Information"));

    auto* Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Corrective Action"), this);
    cboAction_ = new QComboBox(this);
    cboAction_->setObjectName(QStringLiteral("cboAction"));
    cboAction_->setAccessibleName(Label1->text());
    cboAction_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Label1->setBuddy(cboAction_);

    // The ranges of the chosen action, with Add and Delete.
    auto* Frame1 = new QGroupBox(QStringLiteral("Cost Estimates for Selected Corrective Action"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    grdCost_ = new QTableWidget(0, 4, Frame1);
    grdCost_->setObjectName(QStringLiteral("grdCost"));
    grdCost_->setAccessibleName(Frame1->title());
    grdCost_->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("DBH >="), QStringLiteral("DBH <"), QStringLiteral("Estimated Cost ")});
    grdCost_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCost_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCost_->setSelectionMode(QAbstractItemView::SingleSelection);
    grdCost_->verticalHeader()->hide();
    grdCost_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    grdCost_->setColumnHidden(0, true);
    grdCost_->setColumnWidth(1, twipsToPixels(1000));
    grdCost_->setColumnWidth(2, twipsToPixels(1000));
    grdCost_->setColumnWidth(3, twipsToPixels(1500));
    grdCost_->horizontalHeader()->setStretchLastSection(true);
    grdCost_->setMinimumSize(twipsToPixels(4200), twipsToPixels(3000));
    cmdAdd_ = makeButton(QStringLiteral("cmdAdd"), QStringLiteral("Add New"), Frame1);
    cmdDelete_ = makeButton(QStringLiteral("cmdDelete"), QStringLiteral("Delete"), Frame1);
    auto* gridButtons = new QVBoxLayout;
    gridButtons->addWidget(cmdAdd_);
    gridButtons->addWidget(cmdDelete_);
    gridButtons->addStretch(1);
    auto* frame1Layout = new QHBoxLayout(Frame1);
    frame1Layout->addWidget(grdCost_, 1);
    frame1Layout->addLayout(gridButtons);

    // The add panel, shown only while a range is being added.
    frameAddCost_ = new QGroupBox(QStringLiteral("Add a Cost Estimate for selected DBH Range and Corrective Action"), this);
    frameAddCost_->setObjectName(QStringLiteral("frameAddCost"));
    lblCA_ = makeLabel(QStringLiteral("lblCA"), QString(), frameAddCost_);
    auto* Label4 = makeLabel(QStringLiteral("Label4"), QStringLiteral("For DBH >="), frameAddCost_);
    txtDBHFrom_ = makeIntegerBox(QStringLiteral("txtDBHFrom"), Label4->text(), frameAddCost_);
    Label4->setBuddy(txtDBHFrom_);
    auto* Label6 = makeLabel(QStringLiteral("Label6"), QStringLiteral("and DBH <"), frameAddCost_);
    txtDBHTo_ = makeIntegerBox(QStringLiteral("txtDBHTo"), Label6->text(), frameAddCost_);
    Label6->setBuddy(txtDBHTo_);
    auto* Label3 = makeLabel(QStringLiteral("Label3"), QStringLiteral("Est. Cost is $"), frameAddCost_);
    txtCost_ = makeIntegerBox(QStringLiteral("txtCost"), Label3->text(), frameAddCost_);
    Label3->setBuddy(txtCost_);
    auto* Label7 = makeLabel(QStringLiteral("Label7"),
                             QStringLiteral("(For example. 3 to 6 would cover DBH FROM 3.0 in TO 5.99 in)"), frameAddCost_);
    cmdAddSave_ = makeButton(QStringLiteral("cmdAddSave"), QStringLiteral("Save"), frameAddCost_);
    cmdCancel_ = makeButton(QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), frameAddCost_);
    auto* panel = new QGridLayout(frameAddCost_);
    panel->addWidget(lblCA_, 0, 0, 1, 6);
    panel->addWidget(Label4, 1, 0);
    panel->addWidget(txtDBHFrom_, 1, 1);
    panel->addWidget(Label6, 1, 2);
    panel->addWidget(txtDBHTo_, 1, 3);
    panel->addWidget(Label3, 1, 4);
    panel->addWidget(txtCost_, 1, 5);
    panel->addWidget(Label7, 2, 0, 1, 6);
    auto* panelButtons = new QHBoxLayout;
    panelButtons->addStretch(1);
    panelButtons->addWidget(cmdAddSave_);
    panelButtons->addWidget(cmdCancel_);
    panel->addLayout(panelButtons, 3, 0, 1, 6);

    // The cost to mobilize.
    auto* Frame2 = new QGroupBox(QStringLiteral("Cost to Mobilize (to nearest whole $ "), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    txtMobilize_ = makeIntegerBox(QStringLiteral("txtMobilize"), QStringLiteral("Cost to Mobilize"), Frame2);
    txtMobilize_->setMaximumWidth(twipsToPixels(1500));
    auto* Label5 = makeLabel(QStringLiteral("Label5"),
                             QStringLiteral("(Enter ZERO here, if you already include mobilization costs in your other "
                                            "estimates)"),
                             Frame2);
    Label5->setWordWrap(true);
    auto* frame2Layout = new QHBoxLayout(Frame2);
    frame2Layout->addWidget(txtMobilize_);
    frame2Layout->addWidget(Label5, 1);

    cmdSave_ = makeButton(QStringLiteral("cmdSave"), QStringLiteral("&Save and Exit"), this);
    cmdPrint_ = makeButton(QStringLiteral("cmdPrint"), QStringLiteral("&Print Cost Matrix"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdPrint_);
    bottom->addStretch(1);
    bottom->addWidget(cmdSave_);

    auto* top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(cboAction_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Frame1, 1);
    layout->addWidget(frameAddCost_);
    layout->addWidget(Frame2);
    layout->addLayout(bottom);

    connect(cboAction_, &QComboBox::currentIndexChanged, this, [this] { LoadCostGrid(); });
    connect(cmdAdd_, &QPushButton::clicked, this, &frmEnterCosts::cmdAdd_Click);
    connect(cmdDelete_, &QPushButton::clicked, this, &frmEnterCosts::cmdDelete_Click);
    connect(cmdAddSave_, &QPushButton::clicked, this, &frmEnterCosts::cmdAddSave_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &frmEnterCosts::cmdCancel_Click);
    connect(cmdPrint_, &QPushButton::clicked, this, &frmEnterCosts::cmdPrint_Click);
    connect(cmdSave_, &QPushButton::clicked, this, &QWidget::close);

    Form_Load();
}

void frmEnterCosts::Form_Load()
{
    frameAddCost_->hide();
    try {
        storedMobilize_ = plainNumber(readMobilizationCost(context_.db));
    } catch (const DbError& error) {
        failed(QStringLiteral("The cost to mobilize could not be read"), error.message());
        storedMobilize_ = QStringLiteral("0");
    }
    txtMobilize_->setText(storedMobilize_);
    LoadActionList();
    LoadCostGrid();
}

void frmEnterCosts::failed(const QString& what, const QString& why)
{
    context_.prompter.warn(this, QStringLiteral("%1:\n%2").arg(what, why), ErrorCaption);
}

void frmEnterCosts::LoadActionList()
{
    std::vector<CorrectiveAction> actions;
    try {
        actions = readCorrectiveActions(context_.db);
    } catch (const DbError& error) {
        failed(QStringLiteral("The corrective actions could not be read"), error.message());
    }
    const QSignalBlocker quiet(cboAction_);
    cboAction_->clear();
    for (const CorrectiveAction& action : actions)
        cboAction_->addItem(actionEntryText(action), action.code);
    if (cboAction_->count() > 0)
        cboAction_->setCurrentIndex(0);
    setBrowsing(true);
}

int frmEnterCosts::selectedAction() const
{
    if (cboAction_->currentIndex() < 0)
        return 0;
    return actionCodeOfEntry(cboAction_->currentText());
}

void frmEnterCosts::LoadCostGrid()
{
    lblCA_->setText(QStringLiteral("ACTION==>") + cboAction_->currentText());
    grdCost_->setRowCount(0);
    if (cboAction_->currentIndex() < 0)
        return;
    std::vector<CostRange> ranges;
    try {
        ranges = readCostRanges(context_.db, selectedAction());
    } catch (const DbError& error) {
        failed(QStringLiteral("The cost estimates could not be read"), error.message());
        return;
    }
    grdCost_->setRowCount(int(ranges.size()));
    const auto cell = [](const QString& text, Qt::Alignment alignment) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(alignment | Qt::AlignVCenter);
        return item;
    };
    for (int r = 0; r < int(ranges.size()); ++r) {
        const CostRange& range = ranges[size_t(r)];
        grdCost_->setItem(r, 0, cell(QString::number(range.id), Qt::AlignRight));
        grdCost_->setItem(r, 1, cell(range.lower.isNull() ? QStringLiteral("0") : plainNumber(range.lower), Qt::AlignRight));
        grdCost_->setItem(r, 2, cell(range.upper.isNull() ? QStringLiteral("0") : plainNumber(range.upper), Qt::AlignRight));
        grdCost_->setItem(r, 3, cell(formatCost(range.cost.toDouble()), Qt::AlignRight));
    }
    if (!ranges.empty())
        grdCost_->setCurrentCell(0, 1);
}

void frmEnterCosts::setBrowsing(bool browsing)
{
    const bool haveAction = cboAction_->count() > 0;
    cboAction_->setEnabled(browsing);
    txtMobilize_->setEnabled(browsing);
    cmdSave_->setEnabled(browsing);
    cmdPrint_->setEnabled(browsing);
    // Without any corrective action there is nothing to add a range to.
    cmdAdd_->setEnabled(browsing && haveAction);
    cmdDelete_->setEnabled(browsing && haveAction);
    frameAddCost_->setVisible(!browsing);
}

void frmEnterCosts::cmdAdd_Click()
{
    if (cboAction_->currentIndex() < 0 || changeRefused(context_, this, ErrorCaption))
        return;
    setBrowsing(false);
    txtDBHFrom_->clear();
    txtDBHTo_->clear();
    txtCost_->clear();
    txtDBHFrom_->setFocus();
}

void frmEnterCosts::cmdAddSave_Click()
{
    const CostEntryReading reading = readCostEntry(txtDBHFrom_->text(), txtDBHTo_->text(), txtCost_->text());
    if (reading.problem) {
        context_.prompter.warn(this, reading.problem->text, ErrorCaption);
        QLineEdit* box = reading.problem->field == CostEntryProblem::From ? txtDBHFrom_
                         : reading.problem->field == CostEntryProblem::To ? txtDBHTo_
                                                                          : txtCost_;
        box->setFocus();
        return;
    }
    try {
        addCostRange(context_.db, selectedAction(), reading.entry->lower, reading.entry->upper, reading.entry->cost);
    } catch (const DbError& error) {
        failed(QStringLiteral("The cost estimate could not be saved"), error.message());
        return;
    }
    QCoreApplication::processEvents();
    LoadCostGrid();
    setBrowsing(true);
}

void frmEnterCosts::cmdCancel_Click()
{
    setBrowsing(true);
}

void frmEnterCosts::cmdDelete_Click()
{
    if (grdCost_->rowCount() < 1) {
        context_.prompter.warn(this, QStringLiteral("Nothing selected for deletion"), ErrorCaption);
        return;
    }
    if (changeRefused(context_, this, ErrorCaption))
        return;
    const int r = std::max(0, grdCost_->currentRow());
    const auto text = [this, r](int column) { return grdCost_->item(r, column)->text(); };
    const QString question = QStringLiteral("Delete the cost estimate ($") + text(3) + QStringLiteral(") ")
                             + QStringLiteral("for DBH ") + text(1) + QStringLiteral(" to ") + text(2)
                             + QStringLiteral(" inches ") + QLatin1Char('\n') + QStringLiteral("for ACTION==>")
                             + cboAction_->currentText() + QStringLiteral("?");
    const MsgAnswer answer = context_.prompter.message(
        this, {question, QStringLiteral("Confirm Delete?"), MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No});
    if (answer != MsgAnswer::Yes) {
        context_.prompter.inform(this, QStringLiteral("Deletion Cancelled"), QStringLiteral("Cancelled"));
        return;
    }
    try {
        deleteCostRange(context_.db, text(0).toLongLong());
    } catch (const DbError& error) {
        failed(QStringLiteral("The cost estimate could not be deleted"), error.message());
        return;
    }
    QCoreApplication::processEvents();
    LoadCostGrid();
}

void frmEnterCosts::cmdPrint_Click()
{
    openCostMatrixReport(context_, this);
}

void frmEnterCosts::closeEvent(QCloseEvent* event)
{
    // The cost to mobilize is kept with the cost table.
    // A user who may only read is told, and the window closes as it was.
    if (txtMobilize_->text() != storedMobilize_ && !changeRefused(context_, this, ErrorCaption)) {
        const double cost = typedNumber(txtMobilize_->text()).value_or(0);
        if (!isCostInRange(cost)) {
            context_.prompter.warn(this, mobilizationCostProblem(), ErrorCaption);
            txtMobilize_->setFocus();
            event->ignore();
            return;
        }
        try {
            writeMobilizationCost(context_.db, cost);
            storedMobilize_ = txtMobilize_->text();
        } catch (const DbError& error) {
            failed(QStringLiteral("The cost to mobilize could not be saved"), error.message());
            event->ignore();
            return;
        }
    }
    QWidget::closeEvent(event);
}

void frmEnterCosts::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        placeWindow(this, context_.settings);
    }
}

} // namespace kolva
