// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Spectrograms of a recording: band levels from 0 to kTopHz in kSpectrumRows
// equal bands, from FFTW's real transform of Hann-windowed frames. Two
// levels of detail: the overview (kOverviewColumnsPerSecond, made while the
// whole recording is analysed, so that a night draws at once) and the
// detail (kDetailColumnsPerSecond, made for the stretch a zoom shows).
// FFTW's planner is not thread-safe: plans are made under one process-wide
// mutex, once per analyser; transforms run freely. Any thread.
#include "review/sound_source.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace kestle::review {

inline constexpr int kSpectrumRows = 128;
inline constexpr double kTopHz = 8000;
inline constexpr int kOverviewColumnsPerSecond = 2;
inline constexpr int kDetailColumnsPerSecond = 100;

// A cell holds a band's level in half decibels: 0 is -127.5 dBFS or less,
// 255 is 0 dBFS (a full-scale sine in one band).
std::uint8_t cellOfDb(double db);
inline double dbOfCell(std::uint8_t c) {
    return double(c) * 0.5 - 127.5;
}

struct Spectrogram {
    int columnsPerSecond = 0;
    std::int64_t firstColumn = 0;    // index of cells' first column at that rate
    std::vector<std::uint8_t> cells; // column after column, each lowest band first
    std::size_t columns() const { return cells.size() / kSpectrumRows; }
    std::uint8_t at(std::size_t column, int row) const {
        return cells[column * kSpectrumRows + std::size_t(row)];
    }
};

// The band frequency of a row's middle, in Hz.
inline double rowHz(int row) {
    return (row + 0.5) * kTopHz / kSpectrumRows;
}

// One transform size for a sample rate: at least 25 ms (2048 samples,
// 46 ms, at 44.1 kHz), so that its bins are finer than a band.
class SpectrumAnalyser {
  public:
    explicit SpectrumAnalyser(int rate);
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    int size() const { return n_; }
    // Adds the band powers of the size() samples at `samples` to `bands`
    // (kSpectrumRows values; each band's power, 1 for a full-scale sine in it).
    void addBands(const float* samples, float* bands);

  private:
    int n_;
    std::vector<float> window_;
    std::vector<int> rowOfBin_; // -1: above kTopHz
    float* in_ = nullptr;
    void* out_ = nullptr; // fftwf_complex*
    void* plan_ = nullptr;
};

// Turns summed band powers of `frames` transforms into one column of cells.
void appendColumn(const std::vector<float>& bands, int frames, std::vector<std::uint8_t>& cells);

// The detail of `frames` samples from `from`: one column every
// 1/kDetailColumnsPerSecond s, each centred on its time. Stops early (an
// error) when `stop` is set.
Result<Spectrogram> detailSpectrogram(SoundSource& source, std::uint64_t from, std::uint64_t frames,
                                      const std::atomic<bool>* stop = nullptr);

} // namespace kestle::review
