#pragma once

#include <QLockFile>
#include <QString>

namespace periodix {

// The kept game belongs to the one Periodix that holds this lock, a file
// beside the game: a second Periodix (a double-click, a --resume while the
// first still runs) must neither replace the game nor have its ticks
// overwritten by the first. The lock goes with the process, also when it is
// killed.
class KeptGameLock {
public:
    explicit KeptGameLock(const QString &gamePath);
    // False while another Periodix holds the lock; holder then says which
    // ("process 1234"). A lock that cannot be made for any other reason does
    // not hold the game back: the keeper says so itself when it cannot write.
    bool tryLock(QString &holder);

private:
    QString folder_;
    QLockFile lock_;
};

} // namespace periodix
