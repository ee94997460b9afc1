#pragma once
// The risk question editor: the titles and up to eight answers of the four
// risk questions whose scores make a tree's risk rating.

#include "store/context.h"
#include "trees/riskquestions.h"

#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kolva {

class Database;

class frmRating : public QWidget {
    Q_OBJECT
public:
    explicit frmRating(AppContext context, QWidget* parent = nullptr);
    ~frmRating() override;

    // The questions as the boxes hold them.
    RiskQuestions shownQuestions() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void LoadRiskQuestions();
    // False when the window is to stay open (the rows changed meanwhile).
    bool SaveRiskQuestions();
    // Reads the table again after another's change: the boxes show it, or
    // keep the user's texts to be saved over it.
    void reloadRiskQuestions(bool showStored);
    void cmdExit_Click();
    void cmdCancel_Click();

    AppContext context_;
    // The window's own connection to the database, for the life of the window.
    std::unique_ptr<Database> db_;
    bool unusable_ = false;
    bool shown_ = false;
    QTabWidget* SSTab1_ = nullptr;
    std::array<QLineEdit*, RiskQuestionCount> txtLabel_{};
    std::array<std::array<QLineEdit*, RiskResponseCount>, RiskQuestionCount> txtResponse_{};
    QPushButton* cmdExit_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QLabel* lblHiddenRows_ = nullptr;
    RiskQuestionTable read_; // the questions as read when the window opened
};

} // namespace kolva
