#include "web/page_poller.h"

#include "web/live_socket.h"

#include <sys/epoll.h>
#include <unistd.h>

namespace periodix::web {

PagePoller::PagePoller(QObject *parent)
    : QObject(parent), epoll_(::epoll_create1(EPOLL_CLOEXEC)), notifier_(epoll_, QSocketNotifier::Read)
{
    connect(&notifier_, &QSocketNotifier::activated, this, &PagePoller::poll);
}

PagePoller::~PagePoller()
{
    ::close(epoll_);
}

void PagePoller::add(int fd, LiveSocket *page)
{
    epoll_event event{EPOLLIN | EPOLLRDHUP, {}};
    event.data.fd = fd;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    pages_.insert(fd, page);
}

void PagePoller::wantWrite(int fd, bool want)
{
    epoll_event event{EPOLLIN | EPOLLRDHUP | (want ? EPOLLOUT : 0u), {}};
    event.data.fd = fd;
    ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
}

void PagePoller::remove(int fd)
{
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    pages_.remove(fd);
}

void PagePoller::poll()
{
    epoll_event events[256];
    const int n = ::epoll_wait(epoll_, events, 256, 0);
    for (int i = 0; i < n; ++i) {
        // A page handled before in this round may have cut this one.
        LiveSocket *page = pages_.value(events[i].data.fd);
        const quint32 what = events[i].events;
        if (page)
            page->ready(what & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR), what & EPOLLOUT);
    }
}

} // namespace periodix::web
