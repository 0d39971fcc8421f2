#pragma once

#include <QByteArray>
#include <QString>

namespace periodix {

// The largest key file read; a key is a secret of a few dozen bytes.
inline constexpr qint64 LongestFeedKey = 4096;

// The hall feed's key from its file (--hall-feed-key, --feed-key): the file's
// bytes less one line end. Only a regular file that no one but its owner may
// read or write, not empty and not longer than LongestFeedKey, is a key;
// false with why otherwise.
bool readFeedKey(const QString &path, QByteArray &key, QString &error);

} // namespace periodix
