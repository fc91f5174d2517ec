// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/spectrogram.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>
#include <mutex>
#include <numbers>

namespace kestle::review {

namespace {

std::mutex& plannerMutex() {
    static std::mutex m;
    return m;
}

} // namespace

std::uint8_t cellOfDb(double db) {
    return std::uint8_t(std::clamp(std::lround((db + 127.5) * 2), 0l, 255l));
}

SpectrumAnalyser::SpectrumAnalyser(int rate) {
    n_ = 256;
    while (n_ < rate / 40) // at least 25 ms: the bands stay finer than a row
        n_ *= 2;
    window_.resize(std::size_t(n_));
    for (int i = 0; i < n_; ++i)
        window_[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n_));
    const int bins = n_ / 2 + 1;
    rowOfBin_.assign(std::size_t(bins), -1);
    const double binHz = double(rate) / n_;
    for (int k = 0; k < bins; ++k) {
        const int row = int(k * binHz / (kTopHz / kSpectrumRows));
        if (row < kSpectrumRows)
            rowOfBin_[std::size_t(k)] = row;
    }
    std::lock_guard lock(plannerMutex());
    in_ = fftwf_alloc_real(std::size_t(n_));
    auto* out = fftwf_alloc_complex(std::size_t(bins));
    out_ = out;
    plan_ = fftwf_plan_dft_r2c_1d(n_, in_, out, FFTW_ESTIMATE);
}

SpectrumAnalyser::~SpectrumAnalyser() {
    std::lock_guard lock(plannerMutex());
    fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
    fftwf_free(in_);
    fftwf_free(out_);
}

void SpectrumAnalyser::addBands(const float* samples, float* bands) {
    for (int i = 0; i < n_; ++i)
        in_[i] = samples[i] * window_[std::size_t(i)];
    fftwf_execute(static_cast<fftwf_plan>(plan_));
    const auto* out = static_cast<const fftwf_complex*>(out_);
    // A full-scale sine peaks at n/4 under the Hann window, and its power
    // spreads over 1.5 bins: a band holding it reads the sine's level.
    const float norm = 16.0f / (float(n_) * float(n_)) / 1.5f;
    for (std::size_t k = 0; k < rowOfBin_.size(); ++k) {
        const int row = rowOfBin_[k];
        if (row < 0)
            break;
        const float p = (out[k][0] * out[k][0] + out[k][1] * out[k][1]) * norm;
        bands[row] += p;
    }
}

void appendColumn(const std::vector<float>& bands, int frames, std::vector<std::uint8_t>& cells) {
    for (int r = 0; r < kSpectrumRows; ++r) {
        const double p = frames > 0 ? double(bands[std::size_t(r)]) / frames : 0;
        cells.push_back(p > 0 ? cellOfDb(10 * std::log10(p)) : 0);
    }
}

Result<Spectrogram> detailSpectrogram(SoundSource& source, std::uint64_t from, std::uint64_t frames,
                                      const std::atomic<bool>* stop) {
    Spectrogram s;
    s.columnsPerSecond = kDetailColumnsPerSecond;
    const double hop = double(source.rate()) / kDetailColumnsPerSecond;
    const auto firstColumn = std::int64_t(std::ceil(double(from) / hop));
    const auto endColumn = std::int64_t(std::ceil(double(from + frames) / hop));
    s.firstColumn = firstColumn;
    if (endColumn <= firstColumn)
        return s;
    SpectrumAnalyser fft(source.rate());
    const int n = fft.size();
    // The samples the columns need, with the window's half on either side.
    const std::int64_t lo = std::int64_t(double(firstColumn) * hop) - n / 2;
    const std::int64_t hi = std::int64_t(double(endColumn - 1) * hop) + n / 2 + 1;
    std::vector<float> buf(std::size_t(hi - lo), 0.0f);
    const std::int64_t readFrom = std::max<std::int64_t>(0, lo);
    std::size_t at = std::size_t(readFrom - lo);
    while (at < buf.size()) {
        if (stop && stop->load())
            return Error{"stopped"};
        const std::size_t want = std::min<std::size_t>(buf.size() - at, 1 << 16);
        auto got = source.read(std::uint64_t(lo) + at, std::span<float>(buf).subspan(at, want));
        if (!got)
            return Error{got.error()};
        if (*got == 0)
            break;
        at += *got;
    }
    s.cells.reserve(std::size_t(endColumn - firstColumn) * kSpectrumRows);
    std::vector<float> bands(kSpectrumRows);
    for (std::int64_t c = firstColumn; c < endColumn; ++c) {
        std::fill(bands.begin(), bands.end(), 0.0f);
        const std::int64_t start = std::int64_t(double(c) * hop) - n / 2 - lo;
        fft.addBands(buf.data() + start, bands.data());
        appendColumn(bands, 1, s.cells);
    }
    return s;
}

} // namespace kestle::review
