#pragma once

#include <QLabel>
#include <QPushButton>

namespace periodix {

// The symbol font the button captions are written in. Where the machine lacks
// it, the widgets below draw each caption's pictogram themselves; their text
// stays the caption character.
inline const QString SymbolFamily = QStringLiteral("Webdings");
bool symbolFontInstalled();

// Draws the pictogram of a symbol-font character ("4" a right triangle, ";"
// pause bars, "q" a circular arrow, ...) centred in the rectangle.
void drawSymbol(QPainter &painter, QChar symbol, const QRectF &rect, const QColor &colour);

class SymbolButton : public QPushButton {
    Q_OBJECT
public:
    SymbolButton(const QString &symbol, qreal pointSize, int weight, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

class SymbolLabel : public QLabel {
    Q_OBJECT
public:
    SymbolLabel(const QString &symbol, qreal pointSize, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace periodix
