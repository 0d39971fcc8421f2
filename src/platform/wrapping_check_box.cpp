#include "platform/wrapping_check_box.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace periodix {

void WrappingCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
    const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
    QStyleOptionButton box = option;
    box.rect = QRect(0, (height() - indicator) / 2, indicator, indicator);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
    const QRect textRect = rect().adjusted(indicator + spacing, 0, 0, 0);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    // A face wider than the one the caption was laid out for gets smaller.
    const int flags = Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap;
    QFont fitting = font();
    while (fitting.pointSizeF() > 6
           && QFontMetrics(fitting).boundingRect(textRect, flags, text()).height() > textRect.height())
        fitting.setPointSizeF(fitting.pointSizeF() - 0.25);
    painter.setFont(fitting);
    painter.drawText(textRect, flags, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool WrappingCheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

} // namespace periodix
