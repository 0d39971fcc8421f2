#pragma once

#include <QString>

namespace periodix {

// Where Periodix keeps what it must find again after a crash: the game, and
// the copy of a period set while it is written in place.
// $XDG_STATE_HOME/periodix, by default ~/.local/state/periodix.
QString stateFolder();

// Makes a rename or a new file in the folder survive a power cut.
bool syncFolder(const QString &folder);

// Makes the folder and any missing above it, each synced into its parent so
// that a power cut cannot take back what is written in it; false with error.
bool makeFolder(const QString &folder, int &error);

} // namespace periodix
