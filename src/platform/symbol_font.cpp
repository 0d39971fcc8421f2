#include "platform/symbol_font.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <cmath>

namespace periodix {

bool symbolFontInstalled()
{
    static const bool installed = QFontDatabase::families().contains(SymbolFamily, Qt::CaseInsensitive);
    return installed;
}

namespace {

QFont symbolFont(qreal pointSize, int weight)
{
    QFont font(SymbolFamily);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Weight(weight));
    return font;
}

// Pictograms drawn on a 10 x 10 grid.
QPainterPath triangle(bool right, qreal left, qreal width)
{
    QPainterPath path;
    if (right) {
        path.moveTo(left, 1);
        path.lineTo(left + width, 5);
        path.lineTo(left, 9);
    } else {
        path.moveTo(left + width, 1);
        path.lineTo(left, 5);
        path.lineTo(left + width, 9);
    }
    path.closeSubpath();
    return path;
}

QPainterPath vertical(bool up)
{
    QPainterPath path;
    path.moveTo(1, up ? 8 : 2);
    path.lineTo(5, up ? 2 : 8);
    path.lineTo(9, up ? 8 : 2);
    path.closeSubpath();
    return path;
}

QPainterPath bar(qreal left, qreal width)
{
    QPainterPath path;
    path.addRect(left, 1, width, 8);
    return path;
}

QPainterPath circularArrow()
{
    QPainterPath ring;
    ring.arcMoveTo(1.5, 1.5, 7, 7, 60);
    ring.arcTo(1.5, 1.5, 7, 7, 60, 300);
    QPainterPathStroker stroker;
    stroker.setWidth(1.6);
    QPainterPath path = stroker.createStroke(ring);
    // The arrow head at the open end of the ring.
    const QPointF end = ring.pointAtPercent(0);
    QPainterPath head;
    head.moveTo(end + QPointF(-2.2, -0.6));
    head.lineTo(end + QPointF(1.6, -1.4));
    head.lineTo(end + QPointF(0.6, 2.3));
    head.closeSubpath();
    return path.united(head);
}

QPainterPath wrench()
{
    QPainterPath head;
    head.addEllipse(QPointF(7, 3), 2.6, 2.6);
    QPainterPath jaw;
    jaw.addEllipse(QPointF(8, 2), 1.3, 1.3);
    QPainterPath handle;
    handle.moveTo(5.6, 3.2);
    handle.lineTo(6.8, 4.4);
    handle.lineTo(2.4, 8.8);
    handle.lineTo(1.2, 7.6);
    handle.closeSubpath();
    return head.subtracted(jaw).united(handle);
}

QPainterPath pictogram(QChar symbol)
{
    switch (symbol.unicode()) {
    case '3': return triangle(false, 2, 6);
    case '4': return triangle(true, 2, 6);
    case '7': return triangle(false, 1, 4).united(triangle(false, 5, 4));
    case '8': return triangle(true, 1, 4).united(triangle(true, 5, 4));
    case ';': return bar(2, 2.2).united(bar(5.8, 2.2));
    case '9': return bar(0.5, 1.4).united(triangle(false, 2, 3.8)).united(triangle(false, 5.8, 3.8));
    case ':': return triangle(true, 0.4, 3.8).united(triangle(true, 4.2, 3.8)).united(bar(8.1, 1.4));
    case '5': return vertical(true);
    case '6': return vertical(false);
    case 'q': return circularArrow();
    case '@': return wrench();
    case '=': {
        QPainterPath dot;
        dot.addEllipse(QPointF(5, 5), 3.2, 3.2);
        return dot;
    }
    default: return {};
    }
}

} // namespace

void drawSymbol(QPainter &painter, QChar symbol, const QRectF &rect, const QColor &colour)
{
    const qreal side = std::min(rect.width(), rect.height()) * 0.62;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center() - QPointF(side / 2, side / 2));
    painter.scale(side / 10, side / 10);
    painter.fillPath(pictogram(symbol), colour);
    painter.restore();
}

SymbolButton::SymbolButton(const QString &symbol, qreal pointSize, int weight, QWidget *parent)
    : QPushButton(symbol, parent)
{
    setFont(symbolFont(pointSize, weight));
}

void SymbolButton::paintEvent(QPaintEvent *event)
{
    if (symbolFontInstalled()) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect content = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    // Sized from the caption's point size, as the font would have drawn it.
    const qreal glyph = QFontMetricsF(font()).height() * 0.9;
    const QRectF box(content.center().x() - glyph / 2 + 0.5, content.center().y() - glyph / 2 + 0.5, glyph, glyph);
    drawSymbol(painter, text().isEmpty() ? QChar() : text().front(), box,
               palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
}

SymbolLabel::SymbolLabel(const QString &symbol, qreal pointSize, QWidget *parent) : QLabel(symbol, parent)
{
    setFont(symbolFont(pointSize, QFont::Normal));
}

void SymbolLabel::paintEvent(QPaintEvent *event)
{
    if (symbolFontInstalled()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const qreal glyph = std::min<qreal>(QFontMetricsF(font()).height(), std::min(width(), height()));
    const QRectF box((width() - glyph) / 2, (height() - glyph) / 2, glyph, glyph);
    drawSymbol(painter, text().isEmpty() ? QChar() : text().front(), box, palette().color(QPalette::WindowText));
}

} // namespace periodix
