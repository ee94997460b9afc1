#include "lists/uppercase.h"

#include <QLineEdit>

namespace kolva {

QValidator::State UpperCaseValidator::validate(QString& input, int& pos) const
{
    const QString upper = input.toUpper();
    if (upper.size() == input.size()) {
        input = upper;
    } else {
        // A character whose capital is longer ("ß" gives "SS"): the cursor
        // stays after what was before it.
        const int before = int(input.left(pos).toUpper().size());
        input = upper;
        pos = before;
    }
    return Acceptable;
}

void makeUpperCase(QLineEdit* box)
{
    box->setValidator(new UpperCaseValidator(box));
}

} // namespace kolva
