#pragma once
// The editor of one name list (surveyors, species or risk zones): the list
// in a grid, finding a name by its beginning, and adding, editing and
// deleting one name at a time. The three windows differ only as
// lookupListInfo() tells.

#include "lists/lookuplists.h"
#include "store/context.h"

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableView;

namespace kolva {

class frmLookupList : public QWidget {
    Q_OBJECT
public:
    frmLookupList(AppContext context, LookupKind kind, QWidget* parent = nullptr);

    LookupListModel* model() const { return model_; }
    // The row the grid shows as current, or -1.
    int currentRow() const;
    // Whether the edit frame shows (after Add or Edit).
    bool editing() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Activate();
    void cmdFind_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdSave_Click();
    void cmdCancel_Click();
    void cmdDelete_Click();

    void showEditFrame(const QString& caption);
    void showMainFrame();
    void setCurrentRow(int row);
    void enableRowButtons();
    // Reads the list again, keeping the current row where it still is.
    void reread();
    // Reads the list again and makes the row of that id current (the first
    // row when it is not there).
    void rereadAt(qint64 id);
    // Writes the name being added (its id into id) or edited (the row of
    // id); false when the user gave up after an error.
    bool writeName(const QString& name, qint64& id);

    AppContext context_;
    const LookupListInfo& info_;
    LookupListModel* model_ = nullptr;
    bool adding_ = false;

    QStackedWidget* frames_ = nullptr;
    QWidget* frameMain_ = nullptr;
    QTableView* DBGrid1_ = nullptr;
    QLineEdit* txtFind_ = nullptr;
    QPushButton* cmdFind_ = nullptr;
    QPushButton* cmdAdd_ = nullptr;
    QPushButton* cmdEdit_ = nullptr;
    QPushButton* cmdDelete_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QGroupBox* frameEdit_ = nullptr;
    QLineEdit* txtDescription_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};

class frmSurveyors : public frmLookupList {
    Q_OBJECT
public:
    explicit frmSurveyors(AppContext context, QWidget* parent = nullptr)
        : frmLookupList(context, LookupKind::Surveyors, parent)
    {
    }
};

class frmSpecies : public frmLookupList {
    Q_OBJECT
public:
    explicit frmSpecies(AppContext context, QWidget* parent = nullptr)
        : frmLookupList(context, LookupKind::Species, parent)
    {
    }
};

class frmRiskZone : public frmLookupList {
    Q_OBJECT
public:
    explicit frmRiskZone(AppContext context, QWidget* parent = nullptr)
        : frmLookupList(context, LookupKind::RiskZone, parent)
    {
    }
};

} // namespace kolva
