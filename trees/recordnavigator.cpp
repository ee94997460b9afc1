#include "trees/recordnavigator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace kolva {

namespace {

QToolButton* makeMoveButton(QWidget* parent, const QString& name, const QString& accessible, QStyle::StandardPixmap icon,
                        const QString& toolTip)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAccessibleName(accessible);
    button->setToolTip(toolTip);
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

RecordNavigator::RecordNavigator(const QString& caption, const QString& toolTip, QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setToolTip(toolTip);
    setAccessibleName(caption);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(1);
    first_ = makeMoveButton(this, QString(), QStringLiteral("First record"),
                        QStyle::SP_MediaSkipBackward, toolTip);
    previous_ = makeMoveButton(this, QString(), QStringLiteral("Previous record"), QStyle::SP_MediaSeekBackward, toolTip);
    next_ = makeMoveButton(this, QString(), QStringLiteral("Next record"), QStyle::SP_MediaSeekForward, toolTip);
    last_ = makeMoveButton(this, QString(), QStringLiteral("Last record"), QStyle::SP_MediaSkipForward, toolTip);
    first_->setObjectName(QStringLiteral("cmdFirstRecord"));
    previous_->setObjectName(QStringLiteral("cmdPreviousRecord"));
    next_->setObjectName(QStringLiteral("cmdNextRecord"));
    last_->setObjectName(QStringLiteral("cmdLastRecord"));
    caption_ = new QLabel(caption, this);
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setToolTip(toolTip);
    row->addWidget(first_);
    row->addWidget(previous_);
    row->addWidget(caption_, 1);
    row->addWidget(next_);
    row->addWidget(last_);
    connect(first_, &QToolButton::clicked, this, &RecordNavigator::firstClicked);
    connect(previous_, &QToolButton::clicked, this, &RecordNavigator::previousClicked);
    connect(next_, &QToolButton::clicked, this, &RecordNavigator::nextClicked);
    connect(last_, &QToolButton::clicked, this, &RecordNavigator::lastClicked);
}

QString RecordNavigator::caption() const
{
    return caption_->text();
}

} // namespace kolva
