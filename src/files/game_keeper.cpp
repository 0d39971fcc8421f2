#include "files/game_keeper.h"

#include "files/durable_replace.h"
#include "files/leftovers.h"
#include "files/state_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace periodix {

namespace {

GameKeeper::FileFactory &fileFactory()
{
    static GameKeeper::FileFactory factory;
    return factory;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void GameKeeper::setFileFactory(FileFactory factory)
{
    fileFactory() = std::move(factory);
}

GameKeeper::GameKeeper(QString path) : path_(std::move(path))
{
    // A new file a crash left before it took the game's place: only the one
    // Periodix holding the game's lock keeps it, so none is being written.
    for (const Leftover &leftover : leftoversOf(path_))
        ::unlink(QFile::encodeName(leftover.path).constData());
    thread_ = std::thread([this] { run(); });
}

GameKeeper::~GameKeeper()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void GameKeeper::keep(const KeptGame &game, bool sync)
{
    {
        const std::lock_guard lock(mutex_);
        waiting_ = game;
        // A sync still waiting is owed to the change it came with.
        waitingSync_ = waitingSync_ || sync;
    }
    changed_.notify_all();
}

void GameKeeper::waitUntilWritten()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_ && !writing_; });
}

int GameKeeper::failures() const
{
    const std::lock_guard lock(mutex_);
    return failures_;
}

void GameKeeper::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return waiting_ || stopping_; });
        if (!waiting_)
            return;
        const KeptGame game = *std::move(waiting_);
        // A change whose sync failed is owed one until a sync succeeds.
        const bool sync = waitingSync_ || syncOwed_;
        waiting_.reset();
        waitingSync_ = false;
        writing_ = true;
        lock.unlock();
        QString error;
        const bool written = write(game, sync, error);
        lock.lock();
        writing_ = false;
        syncOwed_ = !written && (sync || syncOwed_);
        if (!written) {
            ++failures_;
            if (!failing_) {
                std::fprintf(stderr, "Periodix: the game cannot be kept in %s: %s; trying again at the next change\n",
                             qPrintable(QDir::toNativeSeparators(path_)), qPrintable(error));
            }
        } else if (failing_) {
            std::fprintf(stderr, "Periodix: the game is kept again in %s\n", qPrintable(QDir::toNativeSeparators(path_)));
        }
        failing_ = !written;
        changed_.notify_all();
    }
}

bool GameKeeper::write(const KeptGame &game, bool sync, QString &error)
{
    // Without a sync the kernel may hold a written page for half a minute.
    // Five seconds at most are lost: the fifth tick may come a little early.
    constexpr auto SyncEvery = std::chrono::milliseconds(4500);
    const auto now = std::chrono::steady_clock::now();
    const QByteArray rest = keptGameRest(game);
    if (!sync && file_ && rest == rest_ && overwrite(game, rest, error)) {
        if (now - syncedAt_ < SyncEvery)
            return true;
        syncedAt_ = now;
        if (::fdatasync(file_->handle()) == 0)
            return true;
        error = systemError(errno);
        syncOwed_ = true;
        return false;
    }
    error.clear();
    if (sync)
        syncedAt_ = now;
    return replace(game, rest, sync, error);
}

bool GameKeeper::overwrite(const KeptGame &game, const QByteArray &rest, QString &error)
{
    const KeptGameSlot slot = keptGameSlot(game, sequence_ + 1, rest);
    errno = 0;
    if (file_->seek(slot.offset) && file_->write(slot.bytes) == slot.bytes.size()) {
        ++sequence_;
        return true;
    }
    error = errno ? systemError(errno) : file_->errorString();
    return false;
}

bool GameKeeper::replace(const KeptGame &game, const QByteArray &rest, bool sync, QString &error)
{
    // QSaveFile would do, but it opens a new file for every change; the file
    // put in place is kept open here for the ticks that follow.
    file_.reset();
    const QString newPath = besideName(path_);
    std::unique_ptr<QFile> file = fileFactory() ? fileFactory()(newPath) : std::make_unique<QFile>(newPath);
    const auto openNew = [&] { return file->open(QIODevice::ReadWrite | QIODevice::Unbuffered | QIODevice::NewOnly); };
    int failure = 0;
    errno = 0;
    bool opened = openNew();
    if (!opened && errno == ENOENT && makeFolder(QFileInfo(path_).absolutePath(), failure))
        opened = openNew();
    const QByteArray bytes = encodeKeptGame(game);
    errno = 0;
    if (opened && ::fchmod(file->handle(), 0600) == 0 && file->write(bytes) == bytes.size()
        && putInPlace(file->handle(), newPath, path_, sync, failure) == Put::Done) {
        file_ = std::move(file);
        rest_ = rest;
        sequence_ = 1;
        return true;
    }
    error = failure ? systemError(failure) : errno ? systemError(errno) : file->errorString();
    if (opened)
        ::unlink(QFile::encodeName(newPath).constData());
    return false;
}

} // namespace periodix
