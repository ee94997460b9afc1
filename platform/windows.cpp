#include "platform/windows.h"

#include "platform/settings.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace kolva {

namespace {

// Keys the controls of a window left to the window itself.
class DialogKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto* window = static_cast<QWidget*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        if (key->key() == Qt::Key_Escape) {
            window->close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
            for (QPushButton* button : buttons) {
                if (button->isDefault() && button->window() == window && button->isVisible() && button->isEnabled()) {
                    button->click();
                    return true;
                }
            }
        }
        return false;
    }
};

// What a screen reader is told a window is: a dialog, as the windows are.
class DialogWindowAccessible : public QAccessibleWidget {
public:
    explicit DialogWindowAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Dialog) {}
};

const char* const dialogConventions = "kolvaDialogConventions";

QAccessibleInterface* dialogWindowFactory(const QString&, QObject* object)
{
    if (!object || !object->isWidgetType() || !object->property(dialogConventions).toBool())
        return nullptr;
    return new DialogWindowAccessible(static_cast<QWidget*>(object));
}

} // namespace

void keepDialogConventions(QWidget* window)
{
    if (!window || qobject_cast<QDialog*>(window) || qobject_cast<QMainWindow*>(window)
        || window->property(dialogConventions).toBool())
        return; // a QDialog has them already
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(dialogWindowFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    window->setProperty(dialogConventions, true);
    window->installEventFilter(new DialogKeys(window));
}

QScrollArea* scrollContent(QWidget* window)
{
    const QString scrollName = QStringLiteral("windowScroll");
    if (auto* made = window->findChild<QScrollArea*>(scrollName, Qt::FindDirectChildrenOnly))
        return made;
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("windowContent"));
    const QSize minimum = window->minimumSize();
    if (QLayout* layout = window->layout())
        content->setLayout(layout); // takes the layout with the controls it holds
    // The controls the window places by hand keep their places.
    const QList<QWidget*> children = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow())
            continue;
        const QRect place = child->geometry();
        const bool hidden = child->isHidden();
        child->setParent(content);
        child->setGeometry(place);
        if (!hidden)
            child->show();
    }
    content->setMinimumSize(minimum);
    window->setMinimumSize(0, 0);

    auto* scroll = new QScrollArea(window);
    scroll->setObjectName(scrollName);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    return scroll;
}

namespace {

// The room a window has on its screen, less the frame the window manager
// adds where it is known already. Empty where there is no screen.
QSize freeArea(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    return screen->availableGeometry().size() - frame;
}

} // namespace

void resizeWithinScreen(QWidget* window, QSize wanted)
{
    const QSize area = freeArea(window);
    if (area.isEmpty()) {
        window->resize(wanted);
        return;
    }
    QSize size = wanted.boundedTo(area);
    if (auto* scroll = window->findChild<QScrollArea*>(QStringLiteral("windowScroll"), Qt::FindDirectChildrenOnly)) {
        const QWidget* content = scroll->widget();
        const QSize need = content->minimumSize().expandedTo(content->minimumSizeHint());
        const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
        if (need.height() > size.height() && size.width() >= need.width() && size.width() < need.width() + bar)
            size.setWidth(std::min(area.width(), need.width() + bar));
        if (need.width() > size.width() && size.height() >= need.height() && size.height() < need.height() + bar)
            size.setHeight(std::min(area.height(), need.height() + bar));
    }
    window->resize(size);
}

void fitOnScreen(QWidget* window)
{
    const QSize area = freeArea(window);
    if (area.isEmpty())
        return;
    const QSize need = window->minimumSize().expandedTo(window->minimumSizeHint());
    const bool scrolls = need.width() > area.width() || need.height() > area.height();
    if (scrolls)
        scrollContent(window);
    if (scrolls && !window->testAttribute(Qt::WA_Resized))
        resizeWithinScreen(window, need);
    else if (window->testAttribute(Qt::WA_Resized) && (window->width() > area.width() || window->height() > area.height()))
        resizeWithinScreen(window, window->size());
}

void openWindow(QWidget* opener, QWidget* window, OpenMode mode)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    keepDialogConventions(window);
    fitOnScreen(window);
    if (mode != OpenMode::HideOpener)
        window->setWindowModality(Qt::ApplicationModal);
    if (opener && mode != OpenMode::Modal) {
        QPointer<QWidget> guard(opener);
        QObject::connect(window, &QObject::destroyed, opener, [guard] {
            if (guard)
                guard->show();
        });
        opener->hide();
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void centreOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

namespace {

// Remembers the place and size of the window it watches whenever the window
// is hidden or closed.
class GeometryKeeper : public QObject {
public:
    GeometryKeeper(QWidget* window, Settings& settings) : QObject(window), window_(window), settings_(settings)
    {
        setObjectName(QStringLiteral("kolvaGeometryKeeper"));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && (event->type() == QEvent::Hide || event->type() == QEvent::Close) &&
            !window_->isMinimized() && !window_->objectName().isEmpty())
            settings_.setWindowGeometry(window_->objectName(), window_->saveGeometry());
        return false;
    }

private:
    QWidget* window_;
    Settings& settings_;
};

} // namespace

void placeWindow(QWidget* window, Settings& settings)
{
    const QByteArray saved = settings.windowGeometry(window->objectName());
    bool placed = false;
    if (!saved.isEmpty() && window->restoreGeometry(saved))
        placed = QGuiApplication::screenAt(window->frameGeometry().center()) != nullptr;
    if (!placed)
        centreOnScreen(window);
    if (!window->findChild<GeometryKeeper*>(QStringLiteral("kolvaGeometryKeeper"), Qt::FindDirectChildrenOnly))
        new GeometryKeeper(window, settings);
}

} // namespace kolva
