// SPDX-License-Identifier: GPL-3.0-or-later
// What listening to a night costs: a sealed bag holding one sound recording
// of HOURS hours (default 8; 44.1 kHz, 16-bit mono, written a block at a
// time: room noise with speech, tones and knocks now and then), then
//  - its analysis (overview spectrogram, levels, voice detection) and its
//    moments, from the file, streamed: wall and CPU time, peak memory;
//  - the review window opened on it with the analysis cached: time until
//    the spectrogram is drawn.
//
//   build/bench/bench/sound_bench [HOURS [FOLDER]]
// FOLDER keeps the bag for later runs (which then skip writing it); the
// cache is always made anew.
#include "capture/wav_writer.h"
#include "ecm/speech_espeak.h"
#include "evidence/bagit.h"
#include "review/listening_commands.h"
#include "review/sound_cache.h"
#include "ui/listening_panel.h"
#include "ui/review_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kestle;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

double loadAverage() {
    double l[1] = {0};
    return getloadavg(l, 1) == 1 ? l[0] : -1;
}

// A night: noise and hum, a phrase every 5 minutes, a tone and knocks now and then.
void writeNight(const fs::path& wav, double hours) {
    constexpr int kRate = 44100;
    const auto total = std::uint64_t(hours * 3600 * kRate);
    auto said = ecm::synthesizeSpeech("Is anyone here with us tonight?");
    std::vector<float> phrase;
    if (said)
        for (std::int16_t s : *said) {
            phrase.push_back(float(s) / 32768.0f);
            phrase.push_back(float(s) / 32768.0f);
        }
    std::ofstream out(wav, std::ios::binary);
    out << capture::wavHeader(kRate, 1,
                              std::uint32_t(std::min<std::uint64_t>(total * 2, 0xFFFFFFFFu - 36)));
    std::mt19937 g(1);
    std::normal_distribution<float> d(0, 1);
    double brown = 0;
    std::vector<char> block;
    for (std::uint64_t at = 0; at < total;) {
        const std::uint64_t n = std::min<std::uint64_t>(kRate, total - at);
        block.resize(n * 2);
        for (std::uint64_t i = 0; i < n; ++i, ++at) {
            const double t = double(at) / kRate;
            brown = 0.998 * brown + 0.02 * d(g);
            double x =
                0.003 * brown + 0.001 * d(g) + 0.002 * std::sin(2 * std::numbers::pi * 50 * t);
            const std::uint64_t inFive = at % (300ull * kRate);
            if (inFive < phrase.size())
                x += 0.25 * phrase[inFive];
            if (at % (1800ull * kRate) < 3ull * kRate && at >= 60ull * kRate)
                x += 0.1 * std::sin(2 * std::numbers::pi * 440 * t);
            const std::uint64_t inKnock = at % (900ull * kRate);
            if (inKnock > 120ull * kRate && inKnock < 121ull * kRate && inKnock % (kRate / 4) < 200)
                x += 0.5 * std::exp(-double(inKnock % (kRate / 4)) / 60);
            const auto v = std::int16_t(std::clamp(std::lround(x * 32767), -32768l, 32767l));
            block[2 * i] = char(v & 0xFF);
            block[2 * i + 1] = char((v >> 8) & 0xFF);
        }
        out.write(block.data(), std::streamsize(block.size()));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double hours = argc > 1 ? std::atof(argv[1]) : 8.0;
    const bool keep = argc > 2;
    const fs::path dir =
        keep ? fs::path(argv[2])
             : fs::temp_directory_path() / ("kestle-sound-" + std::to_string(::getpid()));
    const fs::path bag = dir / "2026-12-07 22-00-00", cache = dir / "cache";
    fs::remove_all(cache);
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    auto t0 = std::chrono::steady_clock::now();
    const bool made = keep && fs::exists(bag / "tagmanifest-sha256.txt");
    fs::create_directories(bag / "data" / "captures");
    if (!made)
        writeNight(bag / "data/captures/night.wav", hours);
    const auto lengthMs = std::int64_t(hours * 3.6e6);
    if (!made)
        std::ofstream(bag / "data/journal.jsonl")
            << "{\"t\":0,\"time\":\"2026-12-07T22:00:00\",\"event\":\"start\",\"unit\":\"simulated,"
               " "
               "seed 1\"}\n"
            << "{\"t\":0,\"time\":\"2026-12-07T22:00:00\",\"event\":\"capture\",\"call\":\"Audio."
               "CaptureFileName = \\\"night.wav\\\"\"}\n"
            << "{\"t\":0,\"time\":\"2026-12-07T22:00:00\",\"event\":\"capture\",\"call\":\"Audio."
               "Start\"}\n"
            << "{\"t\":" << lengthMs
            << ",\"time\":\"2026-12-08T06:00:00\",\"event\":\"capture\",\"call\":\"Audio.Stop\"}\n"
            << "{\"t\":" << lengthMs + 10
            << ",\"time\":\"2026-12-08T06:00:00\",\"event\":\"end\"}\n";
    if (Status s = made ? Status{} : evidence::sealBag(bag, {}, "2026-12-08"); !s) {
        std::fprintf(stderr, "%s\n", s.error().c_str());
        return 2;
    }
    std::printf("bag with a %.1f h recording (%.2f GB) written and sealed: %.1f s\n", hours,
                double(fs::file_size(bag / "data/captures/night.wav")) / 1e9,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());

    auto model = review::loadSession(bag, false);
    if (!model) {
        std::fprintf(stderr, "%s\n", model.error().c_str());
        return 2;
    }
    const long rssBefore = peakRssMb();
    const double load = loadAverage();
    t0 = std::chrono::steady_clock::now();
    const double cpu0 = cpuSeconds();
    auto moments = review::nightMoments(*model, review::soundCacheFolder());
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    if (!moments) {
        std::fprintf(stderr, "%s\n", moments.error().c_str());
        return 2;
    }
    std::size_t voices = 0;
    for (const auto& m : *moments)
        voices += m.kind == review::MomentKind::Voice;
    std::printf(
        "analysis (spectrogram, levels, voice detection) and moments: %.1f s wall, %.1f s CPU "
        "(%s 60 s), load average %.1f before; %zu moments, %zu voice\n",
        wall, cpu, wall <= 60 ? "within" : "OVER", load, moments->size(), voices);
    std::printf("peak memory: %ld MB (%ld MB before the analysis; %s 300 MB)\n", peakRssMb(),
                rssBefore, peakRssMb() <= 300 ? "within" : "OVER");
    std::printf("cache: %.1f MB\n",
                double(fs::file_size(review::soundCacheFile(
                    review::soundCacheFolder(),
                    review::manifestDigest(*model, "data/captures/night.wav")))) /
                    1e6);

    QElapsedTimer t;
    t.start();
    bool ok = true;
    {
        ui::ReviewWindow w(bag);
        w.show();
        bool analysed = false;
        w.onLoaded = [&] { w.listening().onAnalysed = [&] { analysed = true; }; };
        while (!analysed)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        w.repaint();
        const double opened = t.elapsed() / 1000.0;
        ok = opened <= 2 && wall <= 60 && peakRssMb() <= 300;
        std::printf(
            "review window with the cached analysis, until its spectrogram and moments are drawn: "
            "%.2f s (%s 2 s)\n",
            opened, opened <= 2 ? "within" : "OVER");
    }
    if (!keep)
        fs::remove_all(dir);
    return ok ? 0 : 1;
}
