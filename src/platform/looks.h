#pragma once

// Fonts and colours of the program's widgets.

#include <QColor>
#include <QFont>
#include <QStringList>

class QWidget;

namespace periodix {

// The first of these families that is installed; fontconfig would otherwise
// quietly substitute any face for a missing one, whatever its width.
QString installedFamily(const QStringList &preferred);

// A font of the first installed family, at this size and weight.
QFont preferredFont(const QStringList &families, qreal pointSize, QFont::Weight weight = QFont::Normal);

// The heavy face of the clock digits and legends, with the fall-back the
// set-up installs where it is missing.
QFont heavyFont(qreal pointSize, QFont::Weight weight = QFont::Black);

// The window title that shows `text` as it stands: Qt takes "[*]" in a title
// for its modified-marker placeholder and would drop it.
QString literalWindowTitle(QString text);

// A label's text colour.
void setTextColour(QWidget *label, const QColor &colour);
QColor textColour(const QWidget *label);

// Shrinks the widget's font until `text` fits `width` pixels on one line
// (a substitute face can run wider than the one a layout was made for).
void shrinkToFit(QWidget *widget, const QString &text, int width);

} // namespace periodix
