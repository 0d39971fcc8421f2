#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace periodix::display {

// The hall's horn: about 1.2 s of two loud, slightly discordant saw tones,
// made here, played through the machine's default sound output (ALSA's
// "default": the sound server where there is one). Playing happens on a
// thread of its own, so the display never waits for the sound device; a horn
// asked for while one sounds is not played twice. A device that cannot be had
// (a sound server not started yet, say) is tried again at each horn asked for
// and every few seconds.
class Horn : public QObject {
    Q_OBJECT
public:
    static constexpr int Rate = 48'000; // samples a second, 16-bit, one channel

    explicit Horn(QObject *parent = nullptr);
    ~Horn() override;
    Horn(const Horn &) = delete;
    Horn &operator=(const Horn &) = delete;

    // Returns at once; the horn starts within milliseconds.
    void blow();

    // The horn's sound as the device is given it.
    static QByteArray samples();

signals:
    // The sound device could not be opened or failed (from the horn's thread).
    void unavailable(const QString &reason);
    // The sound device is open and the horn can sound.
    void ready();

private:
    void run();

    const QByteArray samples_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool wanted_ = false;
    bool stopping_ = false;
    std::thread player_; // last: it starts when everything else is ready
};

} // namespace periodix::display
