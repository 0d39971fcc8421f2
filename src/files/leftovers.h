#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace periodix {

// Where copies of old sets are kept while a file is written in place:
// $XDG_STATE_HOME/periodix/old-sets.
QString oldSetsFolder();

// A fresh name for a copy of the set in `file` (its real path) in
// oldSetsFolder(): "KEY-RANDOM.ptm", KEY naming the file (see fileKey()).
QString copyName(const QString &file);

// Notes the file a key stands for, "KEY.from" in oldSetsFolder(), so that
// whoever looks there can tell copies of two sets of one name apart.
bool noteOrigin(const QString &file, int &error);

// What a save that did not finish (a crash, a power cut, a copy that could
// not be removed) left of a set: copies of the old set in oldSetsFolder() and
// new sets beside the file. Newest first.
struct Leftover {
    QString path;
    QDateTime written;
};
QList<Leftover> leftoversOf(const QString &file);

} // namespace periodix
