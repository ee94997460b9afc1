#pragma once
// The "Sort/Filter by" frame of the Tree editor: the sort options and the
// street the list is narrowed to.

#include "trees/treelist.h"

#include <QGroupBox>

#include <array>

class QComboBox;
class QRadioButton;

namespace kolva {

class TreeSortFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit TreeSortFrame(QWidget* parent = nullptr);

    // The sort option chosen, -1 when none is (the list is sorted by a column).
    int chosenOption() const;
    QRadioButton* firstOption() const { return optSortBy_[0]; }
    // The street chosen, empty for all streets.
    QString chosenStreet() const;
    // Offers "all streets" and these, and chooses all streets.
    void setStreets(const QStringList& streets);
    // Shows the option and the street of source without a signal; with the
    // list sorted by a column no option is chosen.
    void showSource(const TreeListSource& source);

signals:
    void optionChosen(int option);
    void streetChosen();

private:
    std::array<QRadioButton*, SortOptionCount> optSortBy_{};
    QComboBox* cboStreetFilter_ = nullptr;
};

} // namespace kolva
