#include "platform/fonts.h"

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

void shrinkToFit(QWidget *widget, const QString &text, int width)
{
    QFont font = widget->font();
    while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    widget->setFont(font);
}

} // namespace periodix
