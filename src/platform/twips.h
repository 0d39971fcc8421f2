#pragma once

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <cmath>

namespace periodix {

// Layouts are given in twips, 1/1440 inch: 15 twips a pixel at 96 DPI.
// The logical DPI layouts are converted with: the primary screen's.
inline qreal screenDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

inline int twipsToPixels(int twips, qreal dpi)
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

inline QRect twipsRect(int left, int top, int width, int height, qreal dpi)
{
    return QRect(twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(width, dpi),
                 twipsToPixels(height, dpi));
}

} // namespace periodix
