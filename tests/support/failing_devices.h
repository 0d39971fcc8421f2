#pragma once

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>

// A file (a QFile or a QSaveFile) that takes only so many bytes, then fails as
// a full disk does. The budget may be shared, and changed, by the test.
template <class Base>
class FailingFile : public Base {
public:
    FailingFile(const QString &path, qint64 budget) : Base(path), own_(budget), budget_(&own_) {}
    FailingFile(const QString &path, qint64 *budget) : Base(path), budget_(budget) {}

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        const qint64 take = std::min(size, *budget_);
        if (take <= 0) {
            errno = ENOSPC;
            return -1;
        }
        const qint64 written = Base::writeData(data, take);
        *budget_ -= written;
        return written; // short: the caller must notice
    }

private:
    qint64 own_ = 0;
    qint64 *budget_; // what the disk has room for
};

// A file that may not be opened (also by root, who passes permission bits)
// while *refusing is true.
template <class Base>
class RefusingFile : public Base {
public:
    RefusingFile(const QString &path, const bool *refusing) : Base(path), refusing_(refusing) {}
    bool open(QIODevice::OpenMode mode) override
    {
        if (!*refusing_)
            return Base::open(mode);
        errno = EACCES;
        return false;
    }

private:
    const bool *refusing_;
};
