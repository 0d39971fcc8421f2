#pragma once

#include "error_reporting/runtime_error.h"

#include <QList>
#include <QString>

namespace periodix {

// The program's number widths. Values are computed wide and stored through
// these, which raise overflow (6) when a result leaves its width.
qint16 cint16(qint64 value);
qint32 cint32(qint64 value);

// Flags are 16-bit: true is -1, false is 0.
inline constexpr qint16 True = -1;
inline constexpr qint16 False = 0;

// Text to a 16-bit number: blanks around it and a sign allowed, a fraction
// rounded half to even. No number: type mismatch (13); too large: overflow (6).
qint16 textToInt16(const QString &text);

// The lenient reader: skips leading blanks, takes the leading digits and stops
// at the first other character; text not beginning with a digit reads 0.
qint64 leadingNumber(const QString &text);

// Decimal with at least `width` digits, a minus sign before them ("00" gives
// 05, -01 and 100).
QString formatDigits(qint64 value, int width);

// The clock's time text: minutes and seconds with at least two digits each,
// joined by ":" (5 and 7 give 05:07, -1 and -1 give -01:-01).
QString minutesSecondsText(qint64 minutes, qint64 seconds);

// A one-dimensional array with fixed bounds 0..upper, or no elements at all.
// An index outside the bounds raises subscript out of range (9).
template <class T>
class BoundedArray {
public:
    bool isEmpty() const { return items_.isEmpty(); }
    qsizetype upperBound() const { return items_.size() - 1; }

    // Discards the contents and makes elements 0..upper at their defaults.
    void redim(qint64 upper)
    {
        items_.clear();
        if (upper < 0)
            return;
        items_.resize(upper + 1);
    }
    void clear() { items_.clear(); }

    T &operator()(qint64 index)
    {
        check(index);
        return items_[index];
    }
    const T &operator()(qint64 index) const
    {
        check(index);
        return items_[index];
    }

private:
    void check(qint64 index) const
    {
        if (index < 0 || index >= items_.size())
            raiseError(ErrSubscriptOutOfRange);
    }
    QList<T> items_;
};

// A part of split text, with the array's bounds check.
QString partAt(const QStringList &parts, qint64 index);

// Split at every separator; an empty text has no parts at all.
QStringList splitParts(const QString &text, QChar separator);

} // namespace periodix
