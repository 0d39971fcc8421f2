#include "platform/looks.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QWidget>

namespace periodix {

QString installedFamily(const QStringList &preferred)
{
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : preferred) {
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    }
    return preferred.isEmpty() ? QString() : preferred.last();
}

QFont preferredFont(const QStringList &families, qreal pointSize, QFont::Weight weight)
{
    QFont font(installedFamily(families));
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    return font;
}

QFont heavyFont(qreal pointSize, QFont::Weight weight)
{
    return preferredFont({QStringLiteral("Arial Black"), QStringLiteral("DejaVu Sans")}, pointSize, weight);
}

QString literalWindowTitle(QString text)
{
    return text.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

void setTextColour(QWidget *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QColor textColour(const QWidget *label)
{
    return label->palette().color(QPalette::WindowText);
}

void shrinkToFit(QWidget *widget, const QString &text, int width)
{
    QFont font = widget->font();
    while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    widget->setFont(font);
}

} // namespace periodix
