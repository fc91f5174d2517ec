// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/sound_analysis.h"

#include "review/voice_detector.h"
#include "support/worker_thread.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <memory>
#include <semaphore>

namespace kestle::review {

namespace {

std::int16_t levelOf(const float* s, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += double(s[i]) * s[i];
    const double ms = n > 0 ? sum / n : 0;
    if (ms <= 1e-12)
        return kSilentLevel;
    return std::int16_t(std::max<long>(kSilentLevel, std::lround(1000 * std::log10(ms))));
}

// The overview's columns: transforms one after another (no overlap), each
// added to the column its first sample falls in.
class Overview {
  public:
    Overview(int rate, Spectrogram& out)
        : rate_(rate), fft_(rate), out_(out), bands_(kSpectrumRows) {
        out_.columnsPerSecond = kOverviewColumnsPerSecond;
    }
    void add(const float* s, std::size_t n) {
        pending_.insert(pending_.end(), s, s + n);
        const std::size_t size = std::size_t(fft_.size());
        std::size_t used = 0;
        while (pending_.size() - used >= size) {
            const auto column =
                std::int64_t(position_ * kOverviewColumnsPerSecond / std::uint64_t(rate_));
            while (column > column_)
                close();
            fft_.addBands(pending_.data() + used, bands_.data());
            ++inColumn_;
            used += size;
            position_ += size;
        }
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(used));
    }
    void finish(std::uint64_t samples) {
        const auto columns =
            std::int64_t((samples * kOverviewColumnsPerSecond + std::uint64_t(rate_) - 1) /
                         std::uint64_t(rate_));
        while (column_ < columns)
            close();
    }

  private:
    void close() {
        appendColumn(bands_, inColumn_, out_.cells);
        std::fill(bands_.begin(), bands_.end(), 0.0f);
        inColumn_ = 0;
        ++column_;
    }
    int rate_;
    SpectrumAnalyser fft_;
    Spectrogram& out_;
    std::vector<float> bands_, pending_;
    std::uint64_t position_ = 0;
    std::int64_t column_ = 0;
    int inColumn_ = 0;
};

} // namespace

Result<SoundAnalysis> analyseSound(SoundSource& source, const std::atomic<bool>* stop,
                                   const std::function<void(double)>& progress) {
    SoundAnalysis a;
    a.rate = source.rate();
    a.samples = source.frames();
    if (a.rate < 1000)
        return Error{"the sample rate is too low to analyse"};
    a.frameSamples = a.rate / 100;
    const std::uint64_t frames = a.samples / std::uint64_t(a.frameSamples);
    a.level.assign(frames, kSilentLevel);
    a.voice.assign(frames, 0);
    Overview overview(a.rate, a.overview);

    // The detector's side: blocks of whole frames, a few in flight at most.
    auto detector = std::make_shared<VoiceDetector>(a.rate);
    // Levels are measured above about 100 Hz: a room's rumble and a
    // microphone's offset would otherwise swing them.
    struct HighPass {
        float x1 = 0, y1 = 0, keep = 0;
    };
    auto hp = std::make_shared<HighPass>();
    hp->keep = float(1 - 2 * 3.14159265 * 100 / a.rate);
    std::counting_semaphore<8> slots(8);
    WorkerThread voices;
    const std::size_t block = std::size_t(a.frameSamples) * 100;
    std::uint64_t at = 0;
    std::string error;
    int told = -1;
    while (at < a.samples) {
        if (stop && stop->load()) {
            error = "stopped";
            break;
        }
        auto buf = std::make_shared<std::vector<float>>(block);
        auto got = source.read(at, *buf);
        if (!got) {
            error = got.error();
            break;
        }
        if (*got == 0)
            break;
        buf->resize(*got);
        overview.add(buf->data(), buf->size());
        slots.acquire();
        voices.post(
            [&a, &slots, stop, detector, hp, buf, first = at / std::uint64_t(a.frameSamples)] {
                const int n = a.frameSamples;
                const std::size_t count = buf->size() / std::size_t(n);
                std::vector<float> high(static_cast<std::size_t>(n));
                for (std::size_t f = 0; f < count && first + f < a.level.size(); ++f) {
                    if (stop && stop->load())
                        break;
                    const float* s = buf->data() + f * std::size_t(n);
                    for (int i = 0; i < n; ++i) {
                        hp->y1 = s[i] - hp->x1 + hp->keep * hp->y1;
                        hp->x1 = s[i];
                        high[std::size_t(i)] = hp->y1;
                    }
                    a.level[first + f] = levelOf(high.data(), n);
                    a.voice[first + f] = detector->voiced(s) ? 1 : 0;
                }
                slots.release();
            });
        at += *got;
        const int share = int(100 * at / std::max<std::uint64_t>(1, a.samples));
        if (progress && share != told) {
            told = share;
            progress(double(share) / 100);
        }
    }
    std::promise<void> done;
    voices.post([&done] { done.set_value(); });
    done.get_future().wait();
    if (!error.empty())
        return Error{error};
    // A file that ends early (a kill cut it) is analysed as far as it goes.
    a.samples = at;
    a.level.resize(at / std::uint64_t(a.frameSamples));
    a.voice.resize(a.level.size());
    overview.finish(a.samples);
    return a;
}

} // namespace kestle::review
