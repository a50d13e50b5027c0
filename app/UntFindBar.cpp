#include "app/UntFindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

TFindBar::TFindBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    edit_ = new QLineEdit(this);
    edit_->setPlaceholderText(QStringLiteral("Find"));
    edit_->setClearButtonEnabled(true);
    edit_->installEventFilter(this);
    count_ = new QLabel(this);
    close_ = new QToolButton(this);
    close_->setAutoRaise(true);
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close_->setToolTip(QStringLiteral("Close (Esc)"));
    layout->addWidget(edit_, 1);
    layout->addWidget(count_);
    layout->addWidget(close_);
    connect(edit_, &QLineEdit::textChanged, this, &TFindBar::textChanged);
    connect(close_, &QToolButton::clicked, this, &TFindBar::closeRequested);
}

QString TFindBar::text() const
{
    return edit_->text();
}

void TFindBar::setText(const QString& text)
{
    edit_->setText(text);
}

void TFindBar::setCounts(std::size_t shown, std::size_t total)
{
    count_->setText(QStringLiteral("%1 of %2 events").arg(shown).arg(total));
}

QString TFindBar::countText() const
{
    return count_->text();
}

void TFindBar::open()
{
    show();
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        emit closeRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
