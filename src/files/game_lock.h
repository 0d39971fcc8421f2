#pragma once

#include <QString>

namespace periodix {

// The kept game belongs to the one Periodix that holds this lock, a file
// beside the game: a second Periodix (a double-click, a --resume while the
// first still runs) must neither replace the game nor have its ticks
// overwritten by the first. It is the kernel's lock (flock) on that file,
// let go when its holder ends however it ends, so no lock outlives its
// program and none is ever judged stale.
class GameLock {
public:
    enum class Result {
        Held,          // this Periodix keeps the game
        HeldByOther,   // another Periodix still running does
        CannotBeMade,  // no lock at all (a full or read-only state folder): never taken as held
    };

    explicit GameLock(QString gamePath);
    GameLock(const GameLock &) = delete;
    GameLock &operator=(const GameLock &) = delete;
    ~GameLock();

    // why says which Periodix holds it ("process 1234"), or why none can.
    Result tryLock(QString &why);

private:
    QString path_;
    int fd_ = -1;
};

} // namespace periodix
