#pragma once

#include "clock/kept_game.h"

#include <QByteArray>
#include <QString>

namespace periodix {

// The file the game is kept in: $XDG_STATE_HOME/periodix/game, by default
// ~/.local/state/periodix/game.
QString keptGamePath();

// Reads the kept game; false with a message that names the file otherwise.
// Only a regular file is read, never waiting (a FIFO is refused at once).
bool readKeptGame(const QString &path, KeptGame &game, QString &error);

// A small text file, UTF-8, one field a line, with the time of the game in
// two slots of one width after the first line (see keptGameSlot()), 0 and 1,
// both holding the game.
QByteArray encodeKeptGame(const KeptGame &game);

// Everything after the slots: what only a change of the game itself changes.
QByteArray keptGameRest(const KeptGame &game);

// A tick: the slot `sequence` (the older of the two) written over in place,
// at its offset, in a file of the same rest.
struct KeptGameSlot {
    qint64 offset;
    QByteArray bytes;
};
KeptGameSlot keptGameSlot(const KeptGame &game, quint32 sequence, const QByteArray &rest);

// Refuses, saying why, a file of another version, a damaged one, and a game
// the settings window could not have made. The newest whole slot is read.
bool decodeKeptGame(const QByteArray &bytes, KeptGame &game, QString &error);

} // namespace periodix
