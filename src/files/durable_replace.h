#pragma once

#include <QString>

namespace periodix {

// Sixteen hexadecimal digits of the SHA-256 of the path's bytes: what names
// the files Periodix writes for a file, so that two files of one name in
// different folders are told apart.
QString fileKey(const QString &path);

// Writes a small file whole and syncs it and its folder (a copy, a note):
// flags add O_EXCL for a name that must be new, O_TRUNC for one rewritten.
// False with error, the file then removed.
bool writeSynced(const QString &path, const QByteArray &bytes, int flags, int &error);

// A fresh hidden name beside the target for a new file that is to take its
// place: ".KEY-RANDOM.new" in the target's folder. One left by a save that
// did not finish is found by its key (see leftoversOf()).
QString besideName(const QString &target);

// The one durable replace, for every file Periodix puts in place: the new
// file (open as fd) synced, renamed over the target, and the folder synced,
// so that what is reported saved survives a power cut. Without `sync` only
// the rename. Says which step failed, with error; a new file not renamed
// stays, for the caller to keep or remove.
enum class Put { Done, FileNotSynced, NotRenamed, FolderNotSynced };
Put putInPlace(int fd, const QString &newPath, const QString &target, bool sync, int &error);

} // namespace periodix
