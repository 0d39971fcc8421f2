#pragma once

#include <QByteArray>
#include <QString>

namespace periodix {

// Period Script files hold one byte per character in the Windows-1252 code
// page. The five bytes that code page leaves undefined map to the control
// characters of the same value, so every byte 0-255 survives a load and a save.
QString decodeAnsi(const QByteArray &bytes);
QByteArray encodeAnsi(const QString &text);

// True when the character has a byte of its own in the code page.
bool isAnsiCharacter(QChar c);

// True when a legend can hold the character: printable, and in the code page.
// Tabs, line ends and other control characters would not survive the file.
bool isLegendCharacter(QChar c);

} // namespace periodix
