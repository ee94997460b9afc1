#pragma once
// Names in the reference lists are entered in capitals: a box with this
// validator turns every character typed or pasted into its capital.

#include <QValidator>

class QLineEdit;

namespace kolva {

class UpperCaseValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Makes box turn what is typed into capitals.
void makeUpperCase(QLineEdit* box);

} // namespace kolva
