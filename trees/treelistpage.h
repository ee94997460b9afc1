#pragma once
// The "Tree List" page of the Tree editor: the search, the grid of the
// survey records and, under it, the navigator, Refresh and the count.

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace kolva {

class RecordNavigator;
class TreeListModel;

class TreeListPage : public QWidget {
    Q_OBJECT
public:
    TreeListPage(TreeListModel* model, QWidget* parent = nullptr);

    QLineEdit* search() const { return txtSearch_; }
    QTableView* grid() const { return DBGrid1_; }
    RecordNavigator* navigator() const { return Data1_; }
    QPushButton* refreshButton() const { return cmdRefresh_; }

    // The search waits for the next key before it narrows the list.
    void startSearchDelay();
    void stopSearchDelay();
    void setEntryCount(int count);
    // Shows the column the list is sorted by (none: -1) in the grid's titles.
    void showSortColumn(int column, Qt::SortOrder order);

    // Gives the grid's columns the widths their longest values need, taking
    // the longest names from the lists of species, surveyors and streets,
    // within the width of the grid: the site, the location and the surveyor
    // give up width first. Gives the pixels the grid still lacks.
    int fitGridColumns(const QComboBox* species, const QComboBox* surveyors, const QComboBox* streets);
    // Places the search, the grid and the row under it in a page of that
    // size, in twips.
    void layOut(int widthTwips, int heightTwips);

signals:
    // The user typed a search and stopped, or pressed Enter.
    void searchWanted();
    // The search box was emptied (by its clear button, say).
    void searchEmptied();
    // The grid's current row changed (none: -1).
    void rowChanged(int row);
    // The user pressed Enter on a row or double-clicked it.
    void rowOpened();
    // The user clicked the title of a column.
    void titleClicked(int column);
    // A column of the grid changed its width.
    void columnResized();

private:
    QWidget* frameSearch_ = nullptr;
    QLineEdit* txtSearch_ = nullptr;
    QTimer* searchTimer_ = nullptr;
    QTableView* DBGrid1_ = nullptr;
    QFrame* frameGridBottom_ = nullptr;
    RecordNavigator* Data1_ = nullptr;
    QPushButton* cmdRefresh_ = nullptr;
    QLabel* lblNumTrees_ = nullptr;
};

} // namespace kolva
