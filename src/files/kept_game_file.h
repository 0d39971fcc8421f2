#pragma once

#include "clock/kept_game.h"

#include <QByteArray>
#include <QString>

namespace periodix {

// A small text file, UTF-8, one field a line.
QByteArray encodeKeptGame(const KeptGame &game);
// Refuses, saying why, a file of another version, a damaged one, and a game
// the settings window could not have made.
bool decodeKeptGame(const QByteArray &bytes, KeptGame &game, QString &error);

} // namespace periodix
