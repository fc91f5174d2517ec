// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Recordings with known content for the listening tests, made by the test
// itself: a room-like ground (no recorded room noise is at hand, so brown
// and pink noise with a 50 Hz hum and its harmonics stand in for it),
// speech from espeak-ng placed at chosen times, tones, clicks and silence.
// Each placed piece remembers where its sound really is (from its first to
// its last sample above a tenth of its peak), so that tests can check
// edges against the truth.
#include "capture/wav_writer.h"
#include "ecm/speech_espeak.h"
#include "review/sound_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace kestle::review::test {

inline constexpr int kRate = 44100;

struct Placed {
    double from = 0, to = 0; // seconds: where the sound really is
};

class Recording {
  public:
    explicit Recording(double seconds) : s_(std::size_t(seconds * kRate), 0.0f) {}

    // Brown and pink noise with mains hum, about -50 dBFS in all.
    Recording& room(double gainDb = -50, std::uint32_t seed = 7) {
        std::mt19937 g(seed);
        std::normal_distribution<double> d(0, 1);
        double brown = 0, b0 = 0, b1 = 0, b2 = 0;
        const double gain = std::pow(10, gainDb / 20);
        for (std::size_t i = 0; i < s_.size(); ++i) {
            const double w = d(g);
            brown = 0.998 * brown + 0.02 * w;
            // Paul Kellet's economy pink filter.
            b0 = 0.99765 * b0 + w * 0.0990460;
            b1 = 0.96300 * b1 + w * 0.2965164;
            b2 = 0.57000 * b2 + w * 1.0526913;
            const double pink = (b0 + b1 + b2 + w * 0.1848) * 0.11;
            const double t = double(i) / kRate;
            const double hum = 0.5 * std::sin(2 * std::numbers::pi * 50 * t) +
                               0.2 * std::sin(2 * std::numbers::pi * 150 * t) +
                               0.1 * std::sin(2 * std::numbers::pi * 250 * t);
            s_[i] += float(gain * (0.8 * brown + 0.8 * pink + 0.6 * hum));
        }
        return *this;
    }

    // espeak-ng saying `text` from `at` s, its peak at `peakDb` dBFS.
    Placed speech(double at, const std::string& text, double peakDb = -12) {
        auto said = ecm::synthesizeSpeech(text);
        EXPECT_TRUE(said.ok()) << said.error();
        std::vector<float> up;
        if (said) // espeak-ng speaks at 22050 Hz: twice over, interpolated
            for (std::size_t i = 0; i < said->size(); ++i) {
                const float a = float((*said)[i]) / 32768.0f;
                const float b = i + 1 < said->size() ? float((*said)[i + 1]) / 32768.0f : a;
                up.push_back(a);
                up.push_back((a + b) / 2);
            }
        return place(at, up, peakDb);
    }

    Placed tone(double at, double seconds, double hz, double peakDb = -12) {
        std::vector<float> t(std::size_t(seconds * kRate));
        for (std::size_t i = 0; i < t.size(); ++i)
            t[i] = float(std::sin(2 * std::numbers::pi * hz * double(i) / kRate));
        return place(at, t, peakDb);
    }

    // `count` clicks `every` s apart: a sharp edge decaying in 3 ms.
    Placed clicks(double at, int count, double every, double peakDb = -6) {
        std::vector<float> c(std::size_t((every * (count - 1) + 0.01) * kRate), 0.0f);
        for (int k = 0; k < count; ++k)
            for (int i = 0; i < kRate / 100; ++i)
                c[std::size_t(every * k * kRate) + std::size_t(i)] +=
                    float(((i & 1) ? -1 : 1) * std::exp(-double(i) / (0.003 * kRate)));
        return place(at, c, peakDb);
    }

    // Silence (digital zero) from `at` for `seconds`.
    Recording& silence(double at, double seconds) {
        const auto a = std::size_t(at * kRate);
        std::fill(s_.begin() + std::ptrdiff_t(a),
                  s_.begin() +
                      std::ptrdiff_t(std::min(s_.size(), a + std::size_t(seconds * kRate))),
                  0.0f);
        return *this;
    }

    const std::vector<float>& samples() const { return s_; }

    // As the capture writes it: 16-bit PCM, mono, 44.1 kHz.
    void writeWav(const std::filesystem::path& p) const {
        std::string data(s_.size() * 2, '\0');
        for (std::size_t i = 0; i < s_.size(); ++i) {
            const auto v = std::int16_t(std::clamp(std::lround(s_[i] * 32767.0f), -32768l, 32767l));
            data[2 * i] = char(v & 0xFF);
            data[2 * i + 1] = char((v >> 8) & 0xFF);
        }
        std::ofstream out(p, std::ios::binary);
        out << capture::wavHeader(kRate, 1, std::uint32_t(data.size())) << data;
    }

  private:
    Placed place(double at, const std::vector<float>& piece, double peakDb) {
        float peak = 0;
        for (float x : piece)
            peak = std::max(peak, std::abs(x));
        const float gain = peak > 0 ? float(std::pow(10, peakDb / 20)) / peak : 0;
        const auto first = std::size_t(at * kRate);
        std::size_t lo = piece.size(), hi = 0;
        for (std::size_t i = 0; i < piece.size() && first + i < s_.size(); ++i) {
            s_[first + i] += piece[i] * gain;
            if (std::abs(piece[i]) >= peak / 10) {
                lo = std::min(lo, i);
                hi = i;
            }
        }
        return {double(first + lo) / kRate, double(first + hi + 1) / kRate};
    }

    std::vector<float> s_;
};

// A recording in memory as the analysis reads it.
class MemorySource final : public SoundSource {
  public:
    explicit MemorySource(const std::vector<float>& s) : s_(s) {}
    int rate() const override { return kRate; }
    std::uint64_t frames() const override { return s_.size(); }
    Result<std::size_t> read(std::uint64_t at, std::span<float> out) override {
        if (at >= s_.size())
            return std::size_t{0};
        const std::size_t n = std::min<std::size_t>(out.size(), s_.size() - std::size_t(at));
        std::copy_n(s_.begin() + std::ptrdiff_t(at), n, out.begin());
        return n;
    }

  private:
    const std::vector<float>& s_;
};

} // namespace kestle::review::test
