#pragma once
// The Tree editor: the survey records in a grid, sorted by an option or a
// column, filtered by street and by a search, and the record of the current
// row on the "Details" page, where every field can be corrected and its
// history read. A record the user changed is checked (Tree ID, surveyor) and
// written back when the user leaves it, whichever way, or saves it; a record
// the user did not change is never written. Each page is a widget of its
// own; the window wires them to the list and to the record it shows.

#include "store/context.h"
#include "trees/treelist.h"
#include "trees/treerecord.h"
#include "trees/treerecordbinder.h"

#include <QWidget>

class QFrame;
class QPushButton;
class QTabWidget;

namespace kolva {

class TreeDetailsPage;
class TreeListPage;
class TreeSortFrame;

class frmEditTree : public QWidget {
    Q_OBJECT
public:
    explicit frmEditTree(AppContext context, QWidget* parent = nullptr);
    ~frmEditTree() override;

    // True from the start of loading until the window is first activated;
    // meanwhile the sort options, the street filter and Refresh do nothing.
    bool IsLoading() const { return IsLoading_; }

    // Rebuilds the list from the sort order, the street filter and the
    // search and makes its first row current (a changed record is checked
    // and written back first; when it cannot be, nothing changes).
    void RefreshTreeList();
    // Checks the Tree ID and the surveyor of a changed record, then writes
    // it back. False when a check failed or the record could not be stored.
    bool ValidateAndSaveTree();
    // Recomputes the risk rating from the four risk answers.
    void ComputeRiskRating();

    // The current row of the list (-1 when the list is empty) and its record.
    int currentRow() const { return currentRow_; }
    qint64 currentRecordId() const { return currentId_; }
    TreeListModel* treeList() const { return model_; }
    // True when a control shows a value other than the stored one.
    bool hasPendingChanges() const;
    // Makes the record of that ID current, as a click on its row does; false
    // when it is not in the list or the current record cannot be left.
    bool showTreeRecord(qint64 id);

signals:
    // The list was rebuilt.
    void treeListRefreshed();
    // Another record (or none, -1) is current.
    void currentRecordChanged(qint64 id);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildWindow();
    void connectListPage();
    void connectDetailsPage();

    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    void widenContent(int pixels);

    void optSortBy_Click(int index);
    void cboStreetFilter_Click();
    void txtSearch_Change();
    void DBGrid1_HeaderClick(int column);
    void cmdRefresh_Click();
    void cmdEdit_Click();
    void cmdNext_Click();
    void cmdPrevious_Click();
    void cmdDelete_Click();
    void cmdSave_Click();
    void cmdCancel_Click();
    void cmdExit_Click();
    void DBGrid1_RowChange(int row);
    void DTPicker1_NotADate(const QString& typed);

    // Rebuilds the list; unless forced, a list of the same records in the
    // same order is kept as it is. Without recount, a list of the same
    // records in another order keeps its count.
    void refreshList(bool force, bool recount = true);
    // Leaves the current record: a changed record is checked and written
    // back. False (the record stays current, the user has been told why)
    // when it cannot be.
    bool leaveRecord();
    // Makes row current, leaving the current record first; false (and the
    // current row stays) when that record cannot be left.
    bool moveToRow(int row);
    // Shows the record of row in the controls, its stored values unchanged.
    // When it cannot be read the user is told and the record shown stays
    // (false).
    bool showRecord(int row);
    // The same for the record of that ID, at row of the list (-1 while its
    // row is not known: the list is being sorted).
    bool showRecordOf(qint64 id, int row);
    // Once the list sorted with the current record kept knows its row, the
    // row becomes the grid's current row.
    void followCurrentRecord();
    // Shows the first record of the list, or, when there is none or it
    // cannot be read, no record and no Details page.
    void showFirstRecord();
    void showNoRecord();
    // Writes the changed values of the current record back; false after a
    // refusal, which has been reported.
    bool saveChanges();
    void selectGridRow(int row);
    void setDetailsEnabled(bool enabled);
    void updateRecordButtons();
    void showHistory();
    int fitGridColumns();
    void fitWindowToDetails();
    void focusControl(QWidget* control);
    void warn(const QString& text);
    TreeListSource chosenSource() const;
    void showChosenSource(const TreeListSource& source);

    AppContext context_;
    QWidget* content_ = nullptr; // holds the controls, inside the window's scroll area
    bool IsLoading_ = true;
    bool loaded_ = false;
    bool refreshing_ = false;
    bool syncingGrid_ = false;
    bool columnsResizedByUser_ = false;
    int currentRow_ = -1;
    qint64 currentId_ = -1;
    qint64 followId_ = -1;         // the current record, until the sorted list knows its row
    bool closeWhenSorted_ = false; // the window closes once no sort runs
    TreeRecordBinder record_;      // the controls of the current record and its stored values
    TreeListModel* model_ = nullptr;
    TreeListSource shownSource_; // the source of the list as shown
    int sortColumn_ = -1;        // the grid column the list is sorted by, or -1
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;

    QTabWidget* SSTab1_ = nullptr;
    TreeListPage* listPage_ = nullptr;
    TreeDetailsPage* detailsPage_ = nullptr;
    TreeSortFrame* frameSortBy_ = nullptr;
    QFrame* frameButtons_ = nullptr;
    QPushButton* cmdEdit_ = nullptr;
    QPushButton* cmdDelete_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};

} // namespace kolva
