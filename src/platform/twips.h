#pragma once

#include <QRect>

#include <cmath>

namespace periodix {

// Layouts are given in twips, 1/1440 inch: 15 twips a pixel at 96 DPI.
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
