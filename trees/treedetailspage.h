#pragma once
// The "Details" page of the Tree editor: the fields of the current record
// above, its assessment and its history on pages below, and the buttons to
// the previous and the next tree. The page scrolls when the window is too
// small for it (a large font).

#include <QScrollArea>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kolva {

class Database;
class DateBox;
class TreeCorrectivePage;
class TreeHistoryPage;
class TreeRecordBinder;
class TreeRiskPage;
class TreeTrunkPage;

class TreeDetailsPage : public QScrollArea {
    Q_OBJECT
public:
    explicit TreeDetailsPage(QWidget* parent = nullptr);

    // Fills the lists of surveyors, streets (streetsRead is given them too),
    // species, risk zones and the risk questions from the database. Throws
    // DbError; the lists read before stay filled.
    void fillReferenceLists(Database& db, const std::function<void(const QStringList&)>& streetsRead);
    // Fills the lists of fixed entries.
    void fillCodedLists();

    // Binds every control of the page to its column, in the order of the page.
    void bindControls(TreeRecordBinder& binder);

    QLineEdit* treeId() const { return txtTreeID_; }
    QComboBox* streetName() const { return cboStreetName_; }
    QComboBox* surveyor() const { return cboSurveyor_; }
    DateBox* date() const { return DTPicker1_; }
    QLineEdit* dbh() const { return txtDBH_; }
    QComboBox* species() const { return cboSpecies_; }
    QComboBox* location() const { return cboLocation_; }
    // The entries of the lists of streets and species.
    QStringList streetNames() const;
    QStringList speciesNames() const;
    QTabWidget* pages() const { return SSTab2_; }
    TreeRiskPage* riskPage() const { return riskPage_; }
    TreeCorrectivePage* correctivePage() const { return correctivePage_; }
    TreeHistoryPage* historyPage() const { return historyPage_; }
    QPushButton* previousButton() const { return cmdPrevious_; }
    QPushButton* nextButton() const { return cmdNext_; }

    // Recomputes the risk rating from the four risk answers.
    void computeRiskRating();
    void showRiskRating(const QString& text);
    // True while the history page shows.
    bool historyShows() const;
    // Shows the page below that holds control and scrolls to it.
    void revealControl(QWidget* control);

private:
    QGroupBox* Frame1_ = nullptr;
    QTabWidget* SSTab2_ = nullptr;
    TreeTrunkPage* trunkPage_ = nullptr;
    TreeRiskPage* riskPage_ = nullptr;
    TreeCorrectivePage* correctivePage_ = nullptr;
    TreeHistoryPage* historyPage_ = nullptr;
    QPushButton* cmdPrevious_ = nullptr;
    QPushButton* cmdNext_ = nullptr;

    QLineEdit* txtTreeID_ = nullptr;
    QLineEdit* txtStreetNum_ = nullptr;
    QComboBox* cboStreetName_ = nullptr;
    QLabel* lblRiskRating_ = nullptr;
    QComboBox* cboSurveyor_ = nullptr;
    DateBox* DTPicker1_ = nullptr;
    QLineEdit* txtDBH_ = nullptr;
    QComboBox* cboSpecies_ = nullptr;
    QComboBox* cboLocation_ = nullptr;
    QLineEdit* txtSite_ = nullptr;
    QLineEdit* txtReinspectYear_ = nullptr;
    QLineEdit* txtLatitude_ = nullptr;
    QLineEdit* txtLongitude_ = nullptr;
    QComboBox* cboPhysical_ = nullptr;
    QComboBox* cboVisual_ = nullptr;
    QComboBox* cboUtility_ = nullptr;
};

} // namespace kolva
