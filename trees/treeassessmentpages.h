#pragma once
// The assessment pages of the Tree editor's "Details" page: the crown, the
// trunk, the roots, the risk and the corrective actions of a tree.

#include "trees/treelookups.h"
#include "trees/treerecord.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace kolva {

class LimitedTextEdit;

// "Crown/Branches": the crown's defects and its architecture.
class TreeCrownPage : public QWidget {
    Q_OBJECT
public:
    explicit TreeCrownPage(QWidget* parent = nullptr);
};

// "Trunk": the trunk's defects, the size of its decay and its architecture.
class TreeTrunkPage : public QWidget {
    Q_OBJECT
public:
    explicit TreeTrunkPage(QWidget* parent = nullptr);
    QLineEdit* shell() const { return txtShell_; }
    QLineEdit* diameter() const { return txtDiam_; }
    QLineEdit* percentOpen() const { return txtPct_; }

private:
    QLineEdit* txtShell_ = nullptr;
    QLineEdit* txtDiam_ = nullptr;
    QLineEdit* txtPct_ = nullptr;
};

// "Roots": the roots' defects and their architecture.
class TreeRootsPage : public QWidget {
    Q_OBJECT
public:
    explicit TreeRootsPage(QWidget* parent = nullptr);
};

// "Risk Rating/Zone": the risk zone, the four risk questions and the other risk.
class TreeRiskPage : public QWidget {
    Q_OBJECT
public:
    explicit TreeRiskPage(QWidget* parent = nullptr);
    QComboBox* riskZone() const { return cboRiskZone_; }
    LimitedTextEdit* otherRisk() const { return txtDescOtherRisk_; }
    // Puts the title and the answers of question (1 to 4).
    void setQuestion(int question, const RiskQuestionList& list);
    // The answers chosen, in the order of the questions.
    std::array<QString, 4> answers() const;

signals:
    // The user chose an answer.
    void answerChosen();

private:
    QComboBox* cboRiskZone_ = nullptr;
    std::array<QLabel*, 4> lblRiskTitle_{};
    std::array<QComboBox*, 4> cboRisk_{};
    LimitedTextEdit* txtDescOtherRisk_ = nullptr;
};

// "Corrective Actions": a box for each action, the list of their codes and the note.
class TreeCorrectivePage : public QWidget {
    Q_OBJECT
public:
    explicit TreeCorrectivePage(QWidget* parent = nullptr);
    QLineEdit* codes() const { return txtCorrect_; }
    LimitedTextEdit* note() const { return txtNote_; }
    // Checks the boxes of the actions in the list of codes.
    void showBoxesOfCodes();
    void clearBoxes();

private:
    // The list follows the boxes: the codes no box stands for stay in it.
    void boxClicked();

    std::array<QCheckBox*, CorrectiveActionCount> chkCorrect_{};
    QLineEdit* txtCorrect_ = nullptr;
    LimitedTextEdit* txtNote_ = nullptr;
};

} // namespace kolva
