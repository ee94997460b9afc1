#include "platform/controls.h"

#include "platform/keyfilter.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace kolva {

QString plainCaption(const QString& caption)
{
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&'))
                plain += caption.at(++i);
            continue;
        }
        plain += caption.at(i);
    }
    return plain;
}

QLabel* makeLabel(const QString& objectName, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    return label;
}

QPushButton* makeButton(const QString& objectName, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makeTextBox(const QString& objectName, const QString& accessibleName, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(objectName);
    box->setAccessibleName(accessibleName);
    return box;
}

LabelledTextBox makeLabelledTextBox(const QString& labelName, const QString& labelText, const QString& boxName,
                                    QWidget* parent)
{
    LabelledTextBox made;
    made.label = makeLabel(labelName, labelText, parent);
    made.box = makeTextBox(boxName, plainCaption(labelText).trimmed(), parent);
    made.label->setBuddy(made.box);
    return made;
}

QLineEdit* makeIntegerBox(const QString& objectName, const QString& accessibleName, QWidget* parent)
{
    QLineEdit* box = makeTextBox(objectName, accessibleName, parent);
    installKeyFilter(box, isIntegerKeyCode);
    return box;
}

QListWidget* makeCheckList(const QString& objectName, const QString& accessibleName, QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(objectName);
    list->setAccessibleName(accessibleName);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformItemSizes(true);
    return list;
}

QListWidgetItem* addCheckItem(QListWidget* list, const QString& text, bool checked)
{
    auto* item = new QListWidgetItem(text, list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

} // namespace kolva
