#pragma once
// The controls every window builds from: each one carries its object name
// (tests and UI automation find it by that) and the name a screen reader
// reads out (a label's or button's caption, an input's accessible name).

#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QWidget;

namespace kolva {

// A caption without its access key marks: "&Save" is "Save", "A&&B" is "A&B".
QString plainCaption(const QString& caption);

// A label; "&" in its text marks the access key of its buddy.
QLabel* makeLabel(const QString& objectName, const QString& text, QWidget* parent);

// A push button; "&" in its text marks its access key. Enter presses it only
// when it is made the default button.
QPushButton* makeButton(const QString& objectName, const QString& text, QWidget* parent);

// A one-line text box read out by accessibleName.
QLineEdit* makeTextBox(const QString& objectName, const QString& accessibleName, QWidget* parent);

// A label and the text box it names: the label is the box's buddy (its
// access key moves to the box) and its plain, trimmed caption the box's
// accessible name.
struct LabelledTextBox {
    QLabel* label = nullptr;
    QLineEdit* box = nullptr;
};
LabelledTextBox makeLabelledTextBox(const QString& labelName, const QString& labelText, const QString& boxName,
                                    QWidget* parent);

// A whole-number box: it takes digits, "-" and Backspace only.
QLineEdit* makeIntegerBox(const QString& objectName, const QString& accessibleName, QWidget* parent);

// A list whose items each carry a check box.
QListWidget* makeCheckList(const QString& objectName, const QString& accessibleName, QWidget* parent);
// Adds an item with its check box ticked or not.
QListWidgetItem* addCheckItem(QListWidget* list, const QString& text, bool checked);

} // namespace kolva
