#include "files/leftovers.h"

#include "files/durable_replace.h"
#include "files/state_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace periodix {

QString oldSetsFolder()
{
    return stateFolder() + QStringLiteral("/old-sets");
}

QString copyName(const QString &file)
{
    return QStringLiteral("%1-%2.ptm").arg(fileKey(file)).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

bool noteOrigin(const QString &file, int &error)
{
    const QString note = oldSetsFolder() + u'/' + fileKey(file) + QStringLiteral(".from");
    return QFileInfo(note).isFile() || writeSynced(note, QFile::encodeName(file) + '\n', O_TRUNC, error);
}

QList<Leftover> leftoversOf(const QString &file)
{
    const QFileInfo info(file);
    const QString real = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString key = fileKey(real);
    QList<Leftover> found;
    const auto look = [&](const QString &folder, const QString &pattern) {
        const QDir dir(folder);
        for (const QFileInfo &leftover : dir.entryInfoList({pattern}, QDir::Files | QDir::Hidden))
            found.append({leftover.absoluteFilePath(), leftover.lastModified()});
    };
    look(oldSetsFolder(), key + QStringLiteral("-*.ptm"));
    look(QFileInfo(real).absolutePath(), u'.' + key + QStringLiteral("-*.new"));
    std::sort(found.begin(), found.end(), [](const Leftover &a, const Leftover &b) { return a.written > b.written; });
    return found;
}

} // namespace periodix
