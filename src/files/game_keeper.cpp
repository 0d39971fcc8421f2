#include "files/game_keeper.h"

#include "files/state_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

GameKeeper::GameKeeper(QString path) : path_(std::move(path)), thread_([this] { run(); }) {}

GameKeeper::~GameKeeper()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (fd_ >= 0)
        ::close(fd_);
}

void GameKeeper::keep(const KeptGame &game, bool sync)
{
    QByteArray bytes = encodeKeptGame(game);
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(bytes);
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
        const QByteArray bytes = *std::move(waiting_);
        // A change whose sync failed is owed one until a sync succeeds.
        const bool sync = waitingSync_ || syncOwed_;
        waiting_.reset();
        waitingSync_ = false;
        writing_ = true;
        lock.unlock();
        QString error;
        const bool written = write(bytes, sync, error);
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

bool GameKeeper::write(const QByteArray &bytes, bool sync, QString &error)
{
    // Without a sync the kernel may hold a written page for half a minute.
    // Five seconds at most are lost: the fifth tick may come a little early.
    constexpr auto SyncEvery = std::chrono::milliseconds(4500);
    const auto now = std::chrono::steady_clock::now();
    if (!sync && fd_ >= 0 && bytes.size() == size_ && overwrite(bytes, error)) {
        if (now - syncedAt_ < SyncEvery)
            return true;
        syncedAt_ = now;
        if (::fdatasync(fd_) == 0)
            return true;
        error = systemError(errno);
        syncOwed_ = true;
        return false;
    }
    error.clear();
    if (sync)
        syncedAt_ = now;
    return replace(bytes, sync, error);
}

bool GameKeeper::overwrite(const QByteArray &bytes, QString &error)
{
    std::unique_ptr<QFile> file = fileFactory() ? fileFactory()(path_) : std::make_unique<QFile>();
    errno = 0;
    if (file->open(fd_, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle) && file->seek(0)
        && file->write(bytes) == bytes.size())
        return true;
    error = errno ? systemError(errno) : file->errorString();
    return false;
}

bool GameKeeper::replace(const QByteArray &bytes, bool sync, QString &error)
{
    // QSaveFile would do, but it opens a new file for every change; the file
    // it puts in place is kept open here for the ticks that follow.
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    const QString folder = QFileInfo(path_).absolutePath();
    const QByteArray newFile = QFile::encodeName(
        QStringLiteral("%1/.%2.%3.new").arg(folder, QFileInfo(path_).fileName()).arg(QCoreApplication::applicationPid()));
    const auto openNew = [&] { return ::open(newFile.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600); };
    int fd = openNew();
    if (fd < 0 && errno == ENOENT && QDir().mkpath(folder))
        fd = openNew();
    if (fd < 0) {
        error = systemError(errno);
        return false;
    }
    std::unique_ptr<QFile> file = fileFactory() ? fileFactory()(QFile::decodeName(newFile)) : std::make_unique<QFile>();
    errno = 0;
    bool done = file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)
                && file->write(bytes) == bytes.size();
    if (done && sync && ::fsync(fd) != 0)
        done = false;
    if (!done)
        error = errno ? systemError(errno) : file->errorString();
    if (done && ::rename(newFile.constData(), QFile::encodeName(path_).constData()) != 0) {
        error = systemError(errno);
        done = false;
    }
    if (!done) {
        ::close(fd);
        ::unlink(newFile.constData());
        return false;
    }
    fd_ = fd;
    size_ = bytes.size();
    if (sync && !syncFolder(folder)) {
        error = systemError(errno);
        return false;
    }
    return true;
}

} // namespace periodix
