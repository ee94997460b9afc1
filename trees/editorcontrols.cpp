#include "trees/editorcontrols.h"

#include "platform/controls.h"
#include "platform/keyfilter.h"
#include "store/textroutines.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTabWidget>
#include <QTextBlock>
#include <QWheelEvent>

namespace kolva {

namespace {

class WheelSafeComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (!hasFocus()) {
            event->ignore();
            return;
        }
        QComboBox::wheelEvent(event);
    }
};

} // namespace

QComboBox* makeList(const QString& name, const QString& accessibleName, bool typingAllowed, QWidget* parent)
{
    auto* list = new WheelSafeComboBox(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setFocusPolicy(Qt::StrongFocus);
    list->setEditable(typingAllowed);
    if (typingAllowed) {
        list->setInsertPolicy(QComboBox::NoInsert);
        list->setCompleter(nullptr); // typed text stays as typed
    }
    // A list is as wide as its longest entry, so that a chosen entry shows whole.
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    list->setMaxVisibleItems(20);
    return list;
}

LimitedTextEdit::LimitedTextEdit(int limit, QWidget* parent) : QPlainTextEdit(parent), limit_(limit)
{
    setTabChangesFocus(true);
}

QString LimitedTextEdit::rawText() const
{
    QString text;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin())
            text += QLatin1Char('\n');
        text += block.text();
    }
    return text;
}

void LimitedTextEdit::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    const bool types = !typed.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) &&
                       (typed.at(0) >= QLatin1Char(' ') || typed.at(0) == QLatin1Char('\r')) &&
                       typed.at(0) != QChar(0x7F);
    if (types && room() < typed.size()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void LimitedTextEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    const QString text = source->text().left(std::max(0, room()));
    if (!text.isEmpty())
        textCursor().insertText(text);
}

int LimitedTextEdit::room() const
{
    const QTextCursor cursor = textCursor();
    return limit_ - (toPlainText().size() - (cursor.selectionEnd() - cursor.selectionStart()));
}

bool LayOutOnResize::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        layOut_();
    return QObject::eventFilter(watched, event);
}

bool ZeroWhenEmpty::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (auto* box = qobject_cast<QLineEdit*>(watched); box && box->isModified() && box->text().isEmpty())
            box->setText(NullToZero(box->text()).toString());
    }
    return QObject::eventFilter(watched, event);
}

bool IsCoordinateKey(int keyCode)
{
    return IsDecimalKey(keyCode) || keyCode == '-';
}

int pageHolding(QTabWidget* tabs, QWidget* control)
{
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(control))
            return i;
    }
    return -1;
}

QGridLayout* pageGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    return grid;
}

void addListRow(QGridLayout* grid, const char* name, const char* labelName, const char* caption, int row, int column)
{
    QWidget* page = grid->parentWidget();
    auto* label = makeLabel(QString::fromLatin1(labelName), QString::fromLatin1(caption), page);
    auto* list = makeList(QString::fromLatin1(name), label->text(), true, page);
    label->setBuddy(list);
    grid->addWidget(label, row, column * 2);
    grid->addWidget(list, row, column * 2 + 1);
}

void addArchitectureRow(QGridLayout* grid, const char* stem, int count, int row)
{
    QWidget* page = grid->parentWidget();
    const QString name = QString::fromLatin1(stem);
    auto* arch = makeLabel(QStringLiteral("lbl") + name, QStringLiteral("Poor Architecture"), page);
    grid->addWidget(arch, row, 0);
    for (int i = 1; i <= count; ++i) {
        QComboBox* list = makeList(QStringLiteral("cbo%1%2").arg(name).arg(i),
                                   QStringLiteral("Poor Architecture %1").arg(i), true, page);
        grid->addWidget(list, row + (i - 1) / 2, (i - 1) % 2 == 0 ? 1 : 3);
        if (i == 1)
            arch->setBuddy(list);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(row + (count + 1) / 2, 1);
}

void withNormalPointer(const std::function<void()>& f)
{
    int busy = 0;
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
        ++busy;
    }
    f();
    while (busy-- > 0)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

} // namespace kolva
