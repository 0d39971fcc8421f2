#pragma once

#include "files/kept_game_file.h"

#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace periodix {

// Keeps the game on disk as it changes, on a thread of its own, so that a
// slow or failing disk never delays a tick or shows the operator a report.
// A change that must survive a power cut (a stop, a pause, a change of
// period) replaces the file whole (a new file, synced, renamed over the old
// one, the folder synced). A tick of the running clock changes only the time:
// it is written over the older of the file's two time slots in place, a few
// bytes in the disk's first sector, far cheaper than a new file every second,
// and a tick cut short leaves the other slot whole. While the disk is busy only the newest change waits.
// A failure is said once on stderr and the next change tries again.
class GameKeeper {
public:
    // Makes the device the new file is written through; tests put in one that
    // fails after some bytes.
    using FileFactory = std::function<std::unique_ptr<QFile>(const QString &path)>;
    static void setFileFactory(FileFactory factory);

    explicit GameKeeper(QString path);
    GameKeeper(const GameKeeper &) = delete;
    GameKeeper &operator=(const GameKeeper &) = delete;
    ~GameKeeper(); // writes what still waits

    void keep(const KeptGame &game, bool sync);
    // Returns when everything handed over has been written (or has failed).
    void waitUntilWritten();
    // How many changes failed to be written so far.
    int failures() const;

private:
    void run();
    bool write(const KeptGame &game, bool sync, QString &error);
    bool replace(const KeptGame &game, const QByteArray &rest, bool sync, QString &error);
    bool overwrite(const KeptGame &game, const QByteArray &rest, QString &error);

    const QString path_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<KeptGame> waiting_;
    bool waitingSync_ = false;
    bool writing_ = false;
    bool stopping_ = false;
    bool failing_ = false;
    int failures_ = 0;
    // The keeper thread's own: the file last put in place, open for the
    // ticks that follow, all of it but its time, and its newest slot.
    std::unique_ptr<QFile> file_;
    QByteArray rest_;
    quint32 sequence_ = 0;
    bool syncOwed_ = false; // a sync failed: the next change syncs whole
    std::chrono::steady_clock::time_point syncedAt_; // the last sync
    std::thread thread_;
};

} // namespace periodix
