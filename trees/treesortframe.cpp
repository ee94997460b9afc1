#include "trees/treesortframe.h"

#include "platform/controls.h"
#include "trees/editorcontrols.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

namespace kolva {

TreeSortFrame::TreeSortFrame(QWidget* parent) : QGroupBox(QStringLiteral("Sort/Filter by"), parent)
{
    setObjectName(QStringLiteral("frameSortBy"));
    auto* sortGrid = new QGridLayout(this);
    sortGrid->setContentsMargins(8, 4, 8, 6);
    sortGrid->setVerticalSpacing(2);
    sortGrid->addWidget(makeLabel(QStringLiteral("lblSortBy"), QStringLiteral("Sort By"), this), 0, 0, 1, 2);
    const QStringList captions = sortOptionCaptions();
    for (int i = 0; i < SortOptionCount; ++i) {
        optSortBy_[size_t(i)] = new QRadioButton(captions.at(i), this);
        optSortBy_[size_t(i)]->setObjectName(QStringLiteral("optSortBy(%1)").arg(i));
        sortGrid->addWidget(optSortBy_[size_t(i)], 1 + i % 3, i / 3);
        connect(optSortBy_[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                emit optionChosen(i);
        });
    }
    optSortBy_[0]->setChecked(true);
    auto* filterRow = new QHBoxLayout;
    auto* lblFilter = makeLabel(QStringLiteral("lblFilterByStreet"), QStringLiteral("&Filter by Street"), this);
    cboStreetFilter_ = makeList(QStringLiteral("cboStreetFilter"), QStringLiteral("Filter by Street"), false, this);
    lblFilter->setBuddy(cboStreetFilter_);
    filterRow->addWidget(lblFilter);
    filterRow->addWidget(cboStreetFilter_, 1);
    sortGrid->addLayout(filterRow, 4, 0, 1, 2);
    connect(cboStreetFilter_, &QComboBox::currentIndexChanged, this, &TreeSortFrame::streetChosen);
}

int TreeSortFrame::chosenOption() const
{
    for (int i = 0; i < SortOptionCount; ++i) {
        if (optSortBy_[size_t(i)]->isChecked())
            return i;
    }
    return -1;
}

QString TreeSortFrame::chosenStreet() const
{
    return cboStreetFilter_->currentIndex() > 0 ? cboStreetFilter_->currentText() : QString();
}

void TreeSortFrame::setStreets(const QStringList& streets)
{
    const QSignalBlocker block(cboStreetFilter_);
    cboStreetFilter_->clear();
    cboStreetFilter_->addItem(allStreetsEntry());
    cboStreetFilter_->addItems(streets);
    cboStreetFilter_->setCurrentIndex(0);
}

void TreeSortFrame::showSource(const TreeListSource& source)
{
    for (int i = 0; i < SortOptionCount; ++i) {
        QRadioButton* option = optSortBy_[size_t(i)];
        QSignalBlocker block(option);
        option->setAutoExclusive(false);
        option->setChecked(source.sortColumn < 0 && i == std::max(0, source.sortOption));
        option->setAutoExclusive(true);
    }
    QSignalBlocker block(cboStreetFilter_);
    const int at = source.street.isEmpty()
                       ? 0
                       : cboStreetFilter_->findText(source.street, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    cboStreetFilter_->setCurrentIndex(std::max(0, at));
}

} // namespace kolva
