#pragma once
// Binds the controls of the Tree editor to the columns of a survey record:
// shows a record in them, remembers what each control showed of the stored
// value, and tells what the user changed since (only that is written back).

#include "trees/treerecord.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace kolva {

class TreeRecordBinder {
public:
    // Shows a value in a control the binder does not know how to fill (a
    // label that also says its value to a screen reader, say).
    using Show = std::function<void(const QString& value)>;

    // Binds control to the column of that name; a text box takes at most
    // maxLength typed characters (0 for no limit), a stored value longer
    // than that is shown whole.
    void bind(const char* column, QWidget* control, int maxLength = 0, Show show = {});
    // The control bound to a column, or nullptr.
    QWidget* controlOf(const QString& column) const;

    // Shows the record in the controls; what they show counts as unchanged.
    void show(const TreeRecord& record);
    // Shows no record: every control empty, nothing changed.
    void showNone();

    // True when a control shows a value other than the one it was given.
    bool isDirty() const;
    // The columns the user changed, each with the value to store.
    std::vector<std::pair<QString, QVariant>> changes() const;
    // The values were stored: what the controls show is the record now.
    void saved(const TreeRecord& written);
    // Another window stored these values meanwhile; the user keeps the shown
    // ones, so the next save writes over them.
    void acceptStored(const QString& column, const QVariant& value);

    const TreeRecord& stored() const { return stored_; }

private:
    struct Binding {
        const TreeColumn* column = nullptr;
        QWidget* control = nullptr;
        int maxLength = 0;
        Show show;
    };
    QString shownText(const Binding& binding) const;
    void showValue(const Binding& binding, const QString& value);

    std::vector<Binding> bindings_;
    TreeRecord stored_;                      // the record as stored
    std::map<QString, QString> shownStored_; // ... and as its controls showed it
};

} // namespace kolva
