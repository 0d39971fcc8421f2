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

// A small text file, UTF-8, one field a line.
QByteArray encodeKeptGame(const KeptGame &game);
// Refuses, saying why, a file of another version, a damaged one, and a game
// the settings window could not have made.
bool decodeKeptGame(const QByteArray &bytes, KeptGame &game, QString &error);

} // namespace periodix
