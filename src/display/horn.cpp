#include "display/horn.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>

namespace periodix::display {

namespace {
constexpr double Seconds = 1.2;
constexpr double AttackSeconds = 0.03;
constexpr double ReleaseSeconds = 0.12;
constexpr unsigned LatencyUs = 50'000; // what the device may hold before it sounds

QString alsaError(const char *what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(snd_strerror(error)));
}
} // namespace

QByteArray Horn::samples()
{
    const int count = int(Seconds * Rate);
    QByteArray bytes(count * int(sizeof(std::int16_t)), Qt::Uninitialized);
    auto *out = reinterpret_cast<std::int16_t *>(bytes.data());
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / Rate;
        // Two saw waves a minor third apart: a horn, not a beep.
        double wave = 0;
        for (const double frequency : {220.0, 277.0})
            wave += 2.0 * (t * frequency - std::floor(t * frequency + 0.5));
        const double envelope = std::min({1.0, t / AttackSeconds, (Seconds - t) / ReleaseSeconds});
        out[i] = std::int16_t(std::lround(0.45 * envelope * wave * 32767.0));
    }
    return bytes;
}

Horn::Horn(QObject *parent) : QObject(parent), samples_(samples()), player_([this] { run(); }) {}

Horn::~Horn()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    player_.join();
}

void Horn::blow()
{
    {
        const std::lock_guard lock(mutex_);
        wanted_ = true;
    }
    wake_.notify_one();
}

namespace {
constexpr auto RetryEvery = std::chrono::seconds(3);

snd_pcm_t *openDevice(QString &error)
{
    // ALSA keeps the configuration it read at its first open: released, so
    // that a sound server started since (its plugin, its socket) is found.
    snd_config_update_free_global();
    snd_pcm_t *pcm = nullptr;
    int result = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
    if (result >= 0)
        result = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, Horn::Rate, 1, LatencyUs);
    if (result >= 0)
        return pcm;
    error = alsaError("cannot open the sound device", result);
    if (pcm)
        snd_pcm_close(pcm);
    return nullptr;
}
} // namespace

void Horn::run()
{
    // The device is opened here at once, so that a missing one is told before
    // the game and not in the middle of it; it stays open, ready to sound.
    QString error;
    snd_pcm_t *pcm = openDevice(error);
    if (pcm)
        emit ready();
    else
        emit unavailable(error);
    for (;;) {
        bool wanted = false;
        {
            std::unique_lock lock(mutex_);
            const auto due = [this] { return wanted_ || stopping_; };
            if (pcm)
                wake_.wait(lock, due);
            else
                wake_.wait_for(lock, RetryEvery, due);
            if (stopping_)
                break;
            wanted = wanted_;
            wanted_ = false;
        }
        if (!pcm) {
            QString again;
            pcm = openDevice(again);
            if (pcm)
                emit ready();
            else if (again != error)
                emit unavailable(again);
            error = again;
        }
        if (!pcm || !wanted)
            continue;
        const auto *frames = reinterpret_cast<const std::int16_t *>(samples_.constData());
        snd_pcm_uframes_t left = snd_pcm_uframes_t(samples_.size()) / sizeof(std::int16_t);
        while (left > 0) {
            snd_pcm_sframes_t written = snd_pcm_writei(pcm, frames, left);
            if (written < 0)
                written = snd_pcm_recover(pcm, int(written), 1);
            if (written < 0) {
                error = alsaError("the sound device failed", int(written));
                emit unavailable(error);
                snd_pcm_close(pcm); // opened afresh at the next horn, or in a few seconds
                pcm = nullptr;
                break;
            }
            frames += written;
            left -= snd_pcm_uframes_t(written);
        }
        if (!pcm)
            continue;
        snd_pcm_drain(pcm);
        snd_pcm_prepare(pcm); // ready for the next horn
    }
    if (pcm)
        snd_pcm_close(pcm);
}

} // namespace periodix::display
