#include "trees/treeassessmentpages.h"

#include "platform/controls.h"
#include "store/correctiveactions.h"
#include "trees/editorcontrols.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace kolva {

TreeCrownPage::TreeCrownPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pageCrown"));
    auto* grid = pageGrid(this);
    addListRow(grid, "cboCrownCanker", "lblCrownCanker", "Canker", 0, 0);
    addListRow(grid, "cboCrownCrack", "lblCrownCrack", "Crack", 0, 1);
    addListRow(grid, "cboCrownDeadwood", "lblCrownDeadwood", "Deadwood", 1, 0);
    addListRow(grid, "cboCrownDecay", "lblCrownDecay", "Decay", 1, 1);
    addListRow(grid, "cboCrownUnion", "lblCrownUnion", "Weak Union", 2, 0);
    addArchitectureRow(grid, "CrownArch", 3, 3);
}

TreeTrunkPage::TreeTrunkPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pageTrunk"));
    auto* grid = pageGrid(this);
    addListRow(grid, "cboTrunkcanker", "lblTrunkCanker", "Canker", 0, 0);
    addListRow(grid, "cboTrunkCrack", "lblTrunkCrack", "Crack", 0, 1);
    addListRow(grid, "cboTrunkDecay", "lblTrunkDecay", "Decay", 1, 0);

    auto* decayRow = new QHBoxLayout;
    const auto box = [this, decayRow](const char* name, const char* labelName, const char* caption, int width) {
        const LabelledTextBox made = makeLabelledTextBox(QString::fromLatin1(labelName), QString::fromLatin1(caption),
                                                         QString::fromLatin1(name), this);
        made.box->setFixedWidth(width);
        decayRow->addWidget(made.label);
        decayRow->addWidget(made.box);
        return made.box;
    };
    txtShell_ = box("txtShell", "lblShell", "Shell", 56);
    txtDiam_ = box("txtDiam", "lblDiam", "\" at diam", 56);
    txtPct_ = box("txtPct", "lblPct", "% Open", 44);
    decayRow->addStretch(1);
    grid->addLayout(decayRow, 1, 2, 1, 2);
    addArchitectureRow(grid, "TrunkArch", 2, 2);
}

TreeRootsPage::TreeRootsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pageRoots"));
    auto* grid = pageGrid(this);
    addListRow(grid, "cboRootsDeep", "lblRootsDeep", "Buried Deep", 0, 0);
    addListRow(grid, "cboRoot_Injury", "lblRootInjury", "Injury", 0, 1);
    addListRow(grid, "cboRootsDecay", "lblRootsDecay", "Decay", 1, 0);
    addArchitectureRow(grid, "RootsArch", 2, 2);
}

TreeRiskPage::TreeRiskPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pageRisk"));
    auto* grid = pageGrid(this);
    auto* lblZone = makeLabel(QStringLiteral("lblRiskZone"), QStringLiteral("Risk Zone"), this);
    cboRiskZone_ = makeList(QStringLiteral("cboRiskZone"), lblZone->text(), true, this);
    lblZone->setBuddy(cboRiskZone_);
    grid->addWidget(lblZone, 0, 0);
    grid->addWidget(cboRiskZone_, 0, 1);
    // The four questions two by two: the title, then its answers.
    for (int q = 0; q < 4; ++q) {
        lblRiskTitle_[size_t(q)] = makeLabel(QStringLiteral("lblRiskTitle_%1").arg(q + 1), QString(), this);
        cboRisk_[size_t(q)] = makeList(QStringLiteral("cboRisk%1").arg(q + 1), QString(), true, this);
        lblRiskTitle_[size_t(q)]->setBuddy(cboRisk_[size_t(q)]);
        const int row = 1 + q / 2;
        const int column = q % 2;
        grid->addWidget(lblRiskTitle_[size_t(q)], row, column * 2);
        grid->addWidget(cboRisk_[size_t(q)], row, column * 2 + 1);
        connect(cboRisk_[size_t(q)], &QComboBox::activated, this, &TreeRiskPage::answerChosen);
    }
    txtDescOtherRisk_ = new LimitedTextEdit(150, this);
    txtDescOtherRisk_->setObjectName(QStringLiteral("txtDescOtherRisk"));
    txtDescOtherRisk_->setAccessibleName(QStringLiteral("Description of the other risk"));
    txtDescOtherRisk_->setPlaceholderText(QStringLiteral("Description of the other risk"));
    txtDescOtherRisk_->setFixedHeight(txtDescOtherRisk_->fontMetrics().lineSpacing() * 2 + 12);
    grid->addWidget(txtDescOtherRisk_, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(4, 1);
}

void TreeRiskPage::setQuestion(int question, const RiskQuestionList& list)
{
    QLabel* title = lblRiskTitle_[size_t(question - 1)];
    QComboBox* answers = cboRisk_[size_t(question - 1)];
    title->setText(list.title);
    answers->clear();
    answers->addItems(list.entries);
    answers->setAccessibleName(list.title.trimmed());
}

std::array<QString, 4> TreeRiskPage::answers() const
{
    return {cboRisk_[0]->currentText(), cboRisk_[1]->currentText(), cboRisk_[2]->currentText(),
            cboRisk_[3]->currentText()};
}

TreeCorrectivePage::TreeCorrectivePage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pageCorrective"));
    auto* grid = pageGrid(this);
    const QStringList captions = correctiveActionCaptions();
    for (int i = 0; i < CorrectiveActionCount; ++i) {
        chkCorrect_[size_t(i)] = new QCheckBox(captions.at(i), this);
        chkCorrect_[size_t(i)]->setObjectName(QStringLiteral("chkCorrect(%1)").arg(i));
        grid->addWidget(chkCorrect_[size_t(i)], i / 4, i % 4);
        connect(chkCorrect_[size_t(i)], &QCheckBox::clicked, this, &TreeCorrectivePage::boxClicked);
    }
    auto* lblCorrect = makeLabel(QStringLiteral("lblCorrect"), QStringLiteral("Corrective Actions"), this);
    txtCorrect_ = makeTextBox(QStringLiteral("txtCorrect"), lblCorrect->text(), this);
    // The list follows the boxes; it is not typed.
    txtCorrect_->setReadOnly(true);
    auto* codes = new QHBoxLayout;
    codes->addWidget(lblCorrect);
    codes->addWidget(txtCorrect_, 1);
    grid->addLayout(codes, 3, 0, 1, 4);
    txtNote_ = new LimitedTextEdit(255, this);
    txtNote_->setObjectName(QStringLiteral("txtNote"));
    txtNote_->setAccessibleName(QStringLiteral("Note"));
    txtNote_->setPlaceholderText(QStringLiteral("Note"));
    txtNote_->setFixedHeight(txtNote_->fontMetrics().lineSpacing() * 2 + 12);
    grid->addWidget(txtNote_, 4, 0, 1, 4);
    grid->setRowStretch(5, 1);
}

void TreeCorrectivePage::showBoxesOfCodes()
{
    const CorrectiveActionBoxes boxes = correctiveActionBoxes(txtCorrect_->text());
    for (int i = 0; i < CorrectiveActionCount; ++i)
        chkCorrect_[size_t(i)]->setChecked(boxes[size_t(i)]);
}

void TreeCorrectivePage::clearBoxes()
{
    for (QCheckBox* box : chkCorrect_)
        box->setChecked(false);
}

void TreeCorrectivePage::boxClicked()
{
    CorrectiveActionBoxes boxes{};
    for (int i = 0; i < CorrectiveActionCount; ++i)
        boxes[size_t(i)] = chkCorrect_[size_t(i)]->isChecked();
    txtCorrect_->setText(correctiveActionText(boxes, txtCorrect_->text()));
}

} // namespace kolva
