#pragma once
// The record navigator under the tree list: a caption between the buttons
// that go to the first, previous, next and last record.

#include <QFrame>

class QLabel;
class QToolButton;

namespace kolva {

class RecordNavigator : public QFrame {
    Q_OBJECT
public:
    RecordNavigator(const QString& caption, const QString& toolTip, QWidget* parent = nullptr);

    QString caption() const;
    QToolButton* firstButton() const { return first_; }
    QToolButton* previousButton() const { return previous_; }
    QToolButton* nextButton() const { return next_; }
    QToolButton* lastButton() const { return last_; }

signals:
    void firstClicked();
    void previousClicked();
    void nextClicked();
    void lastClicked();

private:
    QLabel* caption_ = nullptr;
    QToolButton* first_ = nullptr;
    QToolButton* previous_ = nullptr;
    QToolButton* next_ = nullptr;
    QToolButton* last_ = nullptr;
};

} // namespace kolva
