#include "StatusLabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {

QString oneLine(const QString& text)
{
    return text.simplified();
}

} // namespace

StatusLabel::StatusLabel(QWidget* parent)
    : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusLabel::setMessage(const QString& text)
{
    setText(text);
    updateToolTip();
}

QString StatusLabel::shownText() const
{
    return fontMetrics().elidedText(oneLine(text()), Qt::ElideRight, contentsRect().width());
}

QSize StatusLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(oneLine(text())), fontMetrics().height())
        .grownBy(contentsMargins());
}

QSize StatusLabel::minimumSizeHint() const
{
    return QSize(0, fontMetrics().height()).grownBy(contentsMargins());
}

void StatusLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawItemText(&painter, contentsRect(), int(Qt::AlignLeft | Qt::AlignVCenter), option.palette,
                          isEnabled(), shownText(), foregroundRole());
}

void StatusLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void StatusLabel::updateToolTip()
{
    const QString whole = text();
    setToolTip(shownText() == whole ? QString() : whole);
}
