#include "trees/treerecordbinder.h"

#include "trees/datebox.h"
#include "trees/editorcontrols.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

namespace kolva {

void TreeRecordBinder::bind(const char* column, QWidget* control, int maxLength, Show show)
{
    const TreeColumn* found = findTreeColumn(QString::fromLatin1(column));
    Q_ASSERT(found && control);
    if (auto* box = qobject_cast<QLineEdit*>(control); box && maxLength > 0)
        box->setMaxLength(maxLength);
    bindings_.push_back({found, control, maxLength, std::move(show)});
}

QWidget* TreeRecordBinder::controlOf(const QString& column) const
{
    for (const Binding& b : bindings_) {
        if (b.column->name == column)
            return b.control;
    }
    return nullptr;
}

void TreeRecordBinder::show(const TreeRecord& record)
{
    stored_ = record;
    for (const Binding& b : bindings_) {
        showValue(b, shownValue(*b.column, stored_[b.column->name]));
        // What the control shows of the stored value counts as unchanged.
        shownStored_[b.column->name] = shownText(b);
    }
}

void TreeRecordBinder::showNone()
{
    stored_.clear();
    for (const Binding& b : bindings_) {
        showValue(b, QString());
        shownStored_[b.column->name] = shownText(b);
    }
}

QString TreeRecordBinder::shownText(const Binding& binding) const
{
    QWidget* c = binding.control;
    if (auto* date = qobject_cast<DateBox*>(c)) {
        // A date as its day; a text that is not a date as typed.
        const QDate day = date->date();
        return day.isValid() ? day.toString(QStringLiteral("yyyy-MM-dd")) : date->text().trimmed();
    }
    if (auto* box = qobject_cast<QLineEdit*>(c))
        return box->text();
    if (auto* list = qobject_cast<QComboBox*>(c))
        return list->currentText();
    if (auto* label = qobject_cast<QLabel*>(c))
        return label->text();
    if (auto* text = dynamic_cast<LimitedTextEdit*>(c))
        return text->rawText();
    return {};
}

void TreeRecordBinder::showValue(const Binding& binding, const QString& value)
{
    QWidget* c = binding.control;
    const QSignalBlocker block(c);
    if (binding.show) {
        binding.show(value);
    } else if (auto* date = qobject_cast<DateBox*>(c)) {
        date->setDate(QDate::fromString(value, QStringLiteral("yyyy-MM-dd")));
    } else if (auto* box = qobject_cast<QLineEdit*>(c)) {
        // A stored value longer than the box takes is shown whole.
        if (binding.maxLength > 0)
            box->setMaxLength(std::max<int>(binding.maxLength, int(value.size())));
        box->setText(value);
        box->setCursorPosition(0);
    } else if (auto* list = qobject_cast<QComboBox*>(c)) {
        int at = list->findText(value, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (list->isEditable()) {
            list->setCurrentIndex(at);
            list->setEditText(value);
            list->lineEdit()->setCursorPosition(0); // a long entry shows its code
        } else {
            // A stored name the list lacks (another spelling) is offered too,
            // so that the record shows what it holds.
            if (at < 0 && !value.isEmpty()) {
                list->addItem(value);
                at = list->count() - 1;
            }
            list->setCurrentIndex(at);
        }
    } else if (auto* label = qobject_cast<QLabel*>(c)) {
        label->setText(value);
    } else if (auto* text = dynamic_cast<LimitedTextEdit*>(c)) {
        const QString shown = multiLineShown(value);
        text->setLimit(std::max<int>(binding.maxLength, int(shown.size())));
        text->setPlainText(shown);
    }
}

bool TreeRecordBinder::isDirty() const
{
    for (const Binding& b : bindings_) {
        const auto before = shownStored_.find(b.column->name);
        if (before == shownStored_.end() || before->second != shownText(b))
            return true;
    }
    return false;
}

std::vector<std::pair<QString, QVariant>> TreeRecordBinder::changes() const
{
    std::vector<std::pair<QString, QVariant>> changes;
    for (const Binding& b : bindings_) {
        const QString& name = b.column->name;
        const QString shown = shownText(b);
        const auto before = shownStored_.find(name);
        if (before != shownStored_.end() && before->second == shown)
            continue;
        const auto found = stored_.find(name);
        const QVariant original = found == stored_.end() ? QVariant() : found->second;
        if (dynamic_cast<LimitedTextEdit*>(b.control) && before != shownStored_.end()) {
            // Only the characters the user changed change.
            changes.emplace_back(name, mergeEditedText(original.isNull() ? QString() : original.toString(),
                                                       before->second, shown));
            continue;
        }
        changes.emplace_back(name, storedValue(*b.column, shown, original));
    }
    return changes;
}

void TreeRecordBinder::saved(const TreeRecord& written)
{
    for (const auto& [name, value] : written)
        stored_[name] = value;
    for (const Binding& b : bindings_)
        shownStored_[b.column->name] = shownText(b);
}

void TreeRecordBinder::acceptStored(const QString& column, const QVariant& value)
{
    stored_[column] = value;
}

} // namespace kolva
