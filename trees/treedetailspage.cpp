#include "trees/treedetailspage.h"

#include "platform/controls.h"
#include "platform/keyfilter.h"
#include "store/textroutines.h"
#include "trees/datebox.h"
#include "trees/editorcontrols.h"
#include "trees/treeassessmentpages.h"
#include "trees/treehistorypage.h"
#include "trees/treelookups.h"
#include "trees/treerecordbinder.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kolva {

TreeDetailsPage::TreeDetailsPage(QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("pageDetailsScroll"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageDetails"));
    setWidget(page);
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(6, 4, 6, 4);
    outer->setSpacing(4);

    Frame1_ = new QGroupBox(page);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(Frame1_);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const auto label = [this](const char* name, const char* text) {
        return makeLabel(QString::fromLatin1(name), QString::fromLatin1(text), Frame1_);
    };
    const auto place = [grid](QLabel* caption, QWidget* control, int row, int column, int span = 1) {
        caption->setBuddy(control);
        grid->addWidget(caption, row, column * 2);
        grid->addWidget(control, row, column * 2 + 1, 1, span * 2 - 1);
    };

    txtTreeID_ = makeTextBox(QStringLiteral("txtTreeID"), QStringLiteral("Tree ID"), Frame1_);
    QFont bold = txtTreeID_->font();
    bold.setBold(true);
    txtTreeID_->setFont(bold);
    place(label("lblTreeID", "Tree ID"), txtTreeID_, 0, 0);

    // The street takes the rest of the first row, so that a long name shows whole.
    auto* street = new QWidget(Frame1_);
    auto* streetRow = new QHBoxLayout(street);
    streetRow->setContentsMargins(0, 0, 0, 0);
    streetRow->setSpacing(3);
    txtStreetNum_ = makeTextBox(QStringLiteral("txtStreetNum"), QStringLiteral("#/Street number"), street);
    txtStreetNum_->setFixedWidth(txtStreetNum_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    cboStreetName_ = makeList(QStringLiteral("cboStreetName"), QStringLiteral("#/Street name"), false, street);
    streetRow->addWidget(txtStreetNum_);
    streetRow->addWidget(cboStreetName_, 1);
    auto* lblStreet = label("lblStreet", "#/Street");
    place(lblStreet, street, 0, 1, 2);
    lblStreet->setBuddy(txtStreetNum_);

    cboSurveyor_ = makeList(QStringLiteral("cboSurveyor"), QStringLiteral("Surveyor"), true, Frame1_);
    place(label("lblSurveyor", "Surveyor"), cboSurveyor_, 1, 0);
    DTPicker1_ = new DateBox(Frame1_);
    DTPicker1_->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1_->setAccessibleName(QStringLiteral("Date"));
    place(label("lblDate", "Date"), DTPicker1_, 1, 1);
    lblRiskRating_ = makeLabel(QStringLiteral("lblRiskRating"), QString(), Frame1_);
    lblRiskRating_->setFrameShape(QFrame::Panel);
    lblRiskRating_->setFrameShadow(QFrame::Sunken);
    lblRiskRating_->setAlignment(Qt::AlignCenter);
    lblRiskRating_->setFont(bold);
    place(label("lblRiskRatingCaption", "Risk Rating"), lblRiskRating_, 1, 2);

    cboSpecies_ = makeList(QStringLiteral("cboSpecies"), QStringLiteral("Species"), false, Frame1_);
    place(label("lblSpecies", "Species"), cboSpecies_, 2, 0);
    txtDBH_ = makeTextBox(QStringLiteral("txtDBH"), QStringLiteral("DBH"), Frame1_);
    place(label("lblDBH", "DBH"), txtDBH_, 2, 1);
    txtSite_ = makeTextBox(QStringLiteral("txtSite"), QStringLiteral("Site"), Frame1_);
    place(label("lblSite", "Site"), txtSite_, 2, 2);

    cboPhysical_ = makeList(QStringLiteral("cboPhysical"), QStringLiteral("Phys. Obstr."), true, Frame1_);
    place(label("lblPhysical", "Phys. Obstr."), cboPhysical_, 3, 0);
    cboVisual_ = makeList(QStringLiteral("cboVisual"), QStringLiteral("Visual Obstr."), true, Frame1_);
    place(label("lblVisual", "Visual Obstr."), cboVisual_, 3, 1);
    cboLocation_ = makeList(QStringLiteral("cboLocation"), QStringLiteral("Location"), true, Frame1_);
    place(label("lblLocation", "Location"), cboLocation_, 3, 2);

    cboUtility_ = makeList(QStringLiteral("cboUtility"), QStringLiteral("Utility Conflict"), true, Frame1_);
    place(label("lblUtility", "Utility Conflict"), cboUtility_, 4, 0);
    auto* coordinates = new QWidget(Frame1_);
    auto* coordinateRow = new QHBoxLayout(coordinates);
    coordinateRow->setContentsMargins(0, 0, 0, 0);
    coordinateRow->setSpacing(3);
    txtLatitude_ = makeTextBox(QStringLiteral("txtLatitude"), QStringLiteral("Latitude"), coordinates);
    txtLongitude_ = makeTextBox(QStringLiteral("txtLongitude"), QStringLiteral("Longitude"), coordinates);
    txtLatitude_->setToolTip(QStringLiteral("Latitude, -90 to 90"));
    txtLongitude_->setToolTip(QStringLiteral("Longitude, -180 to 180"));
    txtLatitude_->setPlaceholderText(QStringLiteral("latitude"));
    txtLongitude_->setPlaceholderText(QStringLiteral("longitude"));
    for (QLineEdit* box : {txtLatitude_, txtLongitude_}) {
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("-000.000000")) + 12);
        coordinateRow->addWidget(box);
    }
    auto* lblCoordinates = label("lblCoordinates", "Lat./Long.");
    place(lblCoordinates, coordinates, 4, 1);
    lblCoordinates->setBuddy(txtLatitude_);
    txtReinspectYear_ = makeTextBox(QStringLiteral("txtReinspectYear"), QStringLiteral("Reinspect Year"), Frame1_);
    place(label("lblReinspectYear", "Reinspect"), txtReinspectYear_, 4, 2);

    // The boxes take what their values need: a site of 15 characters, a date.
    txtSite_->setMinimumWidth(txtSite_->fontMetrics().horizontalAdvance(QStringLiteral("12 FT TREE LAWN")) + 14);
    DTPicker1_->setMinimumWidth(DTPicker1_->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")) + 40);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    grid->setColumnStretch(5, 2);
    outer->addWidget(Frame1_);

    SSTab2_ = new QTabWidget(page);
    SSTab2_->setObjectName(QStringLiteral("SSTab2"));
    SSTab2_->addTab(new TreeCrownPage, QStringLiteral("Crown/Branches"));
    SSTab2_->addTab(trunkPage_ = new TreeTrunkPage, QStringLiteral("Trunk"));
    SSTab2_->addTab(new TreeRootsPage, QStringLiteral("Roots"));
    SSTab2_->addTab(riskPage_ = new TreeRiskPage, QStringLiteral("Risk Rating/Zone"));
    SSTab2_->addTab(correctivePage_ = new TreeCorrectivePage, QStringLiteral("Corrective Actions"));
    SSTab2_->addTab(historyPage_ = new TreeHistoryPage, QStringLiteral("History"));
    outer->addWidget(SSTab2_, 1);

    auto* moves = new QHBoxLayout;
    cmdPrevious_ = makeButton(QStringLiteral("cmdPrevious"), QStringLiteral("<<<< Previous Tree "), page);
    cmdNext_ = makeButton(QStringLiteral("cmdNext"), QStringLiteral("Next Tree >>>>"), page);
    moves->addWidget(cmdPrevious_);
    moves->addStretch(1);
    moves->addWidget(cmdNext_);
    outer->addLayout(moves);

    for (QLineEdit* box : {txtTreeID_, txtDBH_, trunkPage_->shell(), trunkPage_->diameter(), trunkPage_->percentOpen()})
        installKeyFilter(box, IsDecimalKey);
    installKeyFilter(txtReinspectYear_, IsIntegerKey);
    for (QLineEdit* box : {txtLatitude_, txtLongitude_})
        installKeyFilter(box, IsCoordinateKey);
    auto* zero = new ZeroWhenEmpty(this);
    for (QLineEdit* box : {trunkPage_->shell(), trunkPage_->diameter(), trunkPage_->percentOpen()})
        box->installEventFilter(zero);
}

void TreeDetailsPage::fillReferenceLists(Database& db, const std::function<void(const QStringList&)>& streetsRead)
{
    cboSurveyor_->clear();
    cboSurveyor_->addItems(readReferenceList(db, ReferenceList::Surveyors));
    const QStringList streets = readReferenceList(db, ReferenceList::Streets);
    cboStreetName_->clear();
    cboStreetName_->addItems(streets);
    streetsRead(streets);
    cboSpecies_->clear();
    cboSpecies_->addItems(readReferenceList(db, ReferenceList::Species));
    riskPage_->riskZone()->clear();
    riskPage_->riskZone()->addItems(readReferenceList(db, ReferenceList::RiskZones));
    for (int question = 1; question <= 4; ++question)
        riskPage_->setQuestion(question, readRiskQuestionList(db, question));
}

void TreeDetailsPage::fillCodedLists()
{
    for (const CodedList& coded : codedLists()) {
        if (auto* list = widget()->findChild<QComboBox*>(coded.control)) {
            list->clear();
            list->addItems(coded.entries);
        }
    }
    cboLocation_->clear();
    cboLocation_->addItems(locationEntries());
    // The trunk's canker, crack and decay take the entries of the crown's.
    const struct {
        const char* trunk;
        const char* crown;
    } twins[] = {{"cboTrunkcanker", "cboCrownCanker"}, {"cboTrunkCrack", "cboCrownCrack"}, {"cboTrunkDecay", "cboCrownDecay"}};
    for (const auto& twin : twins) {
        auto* trunk = widget()->findChild<QComboBox*>(QString::fromLatin1(twin.trunk));
        auto* crown = widget()->findChild<QComboBox*>(QString::fromLatin1(twin.crown));
        trunk->clear();
        for (int i = 0; i < crown->count(); ++i)
            trunk->addItem(crown->itemText(i));
    }
}

void TreeDetailsPage::bindControls(TreeRecordBinder& binder)
{
    binder.bind("Tree_ID", txtTreeID_, 9);
    binder.bind("StreetNum", txtStreetNum_, 10);
    binder.bind("StreetName", cboStreetName_);
    binder.bind("Hazard_Rating", lblRiskRating_, 0, [this](const QString& value) { showRiskRating(value); });
    binder.bind("Surveyor", cboSurveyor_);
    binder.bind("Date_Evaluated", DTPicker1_);
    binder.bind("DBH", txtDBH_, 8);
    binder.bind("Species", cboSpecies_);
    binder.bind("Location", cboLocation_);
    binder.bind("Site", txtSite_, 15);
    binder.bind("Obstructions_Physical", cboPhysical_);
    binder.bind("Obstructions_Visual", cboVisual_);
    binder.bind("Utility_Conflict", cboUtility_);
    binder.bind("ReinspectYear", txtReinspectYear_, 4);
    binder.bind("Latitude", txtLatitude_, 24);
    binder.bind("Longitude", txtLongitude_, 24);
    const struct {
        const char* column;
        const char* control;
    } lists[] = {
        {"Crown_Canker", "cboCrownCanker"}, {"Crown_Crack", "cboCrownCrack"},   {"Crown_Deadwood", "cboCrownDeadwood"},
        {"Crown_Decay", "cboCrownDecay"},   {"Crown_Arch_1", "cboCrownArch1"},  {"Crown_Arch_2", "cboCrownArch2"},
        {"Crown_Arch_3", "cboCrownArch3"},  {"WeakUnion", "cboCrownUnion"},     {"Trunk_Canker", "cboTrunkcanker"},
        {"Trunk_Crack", "cboTrunkCrack"},   {"Trunk_Decay", "cboTrunkDecay"},   {"Trunk_Arch_1", "cboTrunkArch1"},
        {"Trunk_Arch_2", "cboTrunkArch2"},  {"Roots_Deep", "cboRootsDeep"},     {"Roots_Injury", "cboRoot_Injury"},
        {"Roots_Decay", "cboRootsDecay"},   {"Roots_Arch1", "cboRootsArch1"},   {"Roots_Arch2", "cboRootsArch2"},
        {"RiskZone", "cboRiskZone"},        {"Size_Defect", "cboRisk1"},        {"Prob_Failure", "cboRisk2"},
        {"Prob_TargetImpact", "cboRisk3"},  {"OtherRisk", "cboRisk4"},
    };
    for (const auto& l : lists)
        binder.bind(l.column, widget()->findChild<QComboBox*>(QString::fromLatin1(l.control)));
    binder.bind("TrunkDecay_Shell", trunkPage_->shell(), 5);
    binder.bind("TrunkDecay_Diam", trunkPage_->diameter(), 5);
    binder.bind("TrunkDecay_Pct", trunkPage_->percentOpen(), 3);
    binder.bind("Desc_OtherRisk", riskPage_->otherRisk(), 150);
    binder.bind("CorrectiveActions", correctivePage_->codes());
    binder.bind("Note", correctivePage_->note(), 255);
}

namespace {

QStringList entriesOf(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

} // namespace

QStringList TreeDetailsPage::streetNames() const
{
    return entriesOf(cboStreetName_);
}

QStringList TreeDetailsPage::speciesNames() const
{
    return entriesOf(cboSpecies_);
}

void TreeDetailsPage::computeRiskRating()
{
    showRiskRating(riskRatingText(riskPage_->answers()));
}

void TreeDetailsPage::showRiskRating(const QString& text)
{
    lblRiskRating_->setText(text);
    lblRiskRating_->setAccessibleName(QStringLiteral("Risk Rating: %1").arg(text));
}

bool TreeDetailsPage::historyShows() const
{
    return SSTab2_->currentWidget() == historyPage_;
}

void TreeDetailsPage::revealControl(QWidget* control)
{
    if (const int page = pageHolding(SSTab2_, control); page >= 0)
        SSTab2_->setCurrentIndex(page);
    ensureWidgetVisible(control);
}

} // namespace kolva
