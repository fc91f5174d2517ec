// SPDX-License-Identifier: GPL-3.0-or-later
// Large but honest bags, and what reading them costs. Writes a session's
// bag, sealed as the program seals, then measures what is asked; run it
// under /usr/bin/time -v for the peak memory (and pdfinfo for the pages of a
// report written with `kestle --report`):
//
//   bag_bench journal DIR [LINES]   a 12-hour night whose journal has LINES
//                                   lines (default 2,000,000): words, speech,
//                                   status lines, questions, alarms,
//                                   recordings; its logs of 8 rows a second
//   bag_bench files DIR [FILES]     a night with FILES captures (default
//                                   660,000: a manifest of some 66 MB)
//   bag_bench review DIR            the review window (offscreen) on DIR:
//                                   seconds until the night is shown
//   bag_bench model DIR             the bag read into its model, unverified
#include "evidence/bagit.h"
#include "evidence/journal.h"
#include "review/session_model.h"
#include "support/datetime.h"
#include "ui/review_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace kestle;

namespace {

const LocalDateTime kNightStart{2026, 12, 7, 22, 0, 0};

LocalDateTime at(std::int64_t ms) {
    return addMilliseconds(kNightStart, ms);
}

// "2026-12-07T22:00:05", the journal's times.
std::string timeAt(std::int64_t ms) {
    return evidence::isoTime(at(ms));
}

// "12/7/2026 10:00:05 PM", the logs' time stamps.
std::string logTime(std::int64_t ms) {
    return generalDate(at(ms));
}

void writeLogs(const fs::path& bag, std::int64_t nightMs) {
    fs::create_directories(bag / "data/logs");
    std::ofstream log(bag / "data/logs/CV_data_file.csv", std::ios::binary);
    log << "Time ,Ch A, Ch B , Threshold , Trend , Ch A VDC ,Ch B VDC ,Ch A Freq ,Ch B Freq ,RF "
           "ID ,Data,Temp,Humidity ,EMFA ,EMFB ,EMFC ,EMFD ,EMFE ,EMFFA ,\r\n\r\n";
    for (std::int64_t t = 0; t < nightMs; t += 125)
        log << logTime(t) << ", 639, 440, 1.32 VDC, +, 3." << (t / 125) % 10
            << "2 VDC, 2.15 VDC,  60 Hz, 299 Hz,6,color ,71. F,Hum,4.35 mG,2.99 mG, 2.625 mG, "
               "0.525 mG,-2.73 mG,-0.42 mG,\r\n\r\n";
}

fs::path start(const fs::path& bag) {
    fs::remove_all(bag);
    fs::create_directories(bag / "data/captures");
    std::ofstream(bag / "data/settings-at-start.ini", std::ios::binary)
        << "[NAG]\r\nNAGSCREEN=1\r\n";
    std::ofstream(bag / "data/settings-at-exit.ini", std::ios::binary)
        << "[NAG]\r\nNAGSCREEN=1\r\n";
    return bag;
}

int seal(const fs::path& bag, std::int64_t nightMs) {
    const Status s = evidence::sealBag(bag,
                                       {{"Session-Start", timeAt(0)},
                                        {"Session-End", timeAt(nightMs)},
                                        {"Session-Ended", "normally"}},
                                       "2026-12-08");
    if (!s) {
        std::fprintf(stderr, "%s\n", s.error().c_str());
        return 1;
    }
    std::printf("%s: sealed\n", bag.c_str());
    return 0;
}

int makeJournal(const fs::path& dir, long lines) {
    const fs::path bag = start(dir);
    constexpr std::int64_t kNight = 12 * 3600 * 1000;
    std::ofstream j(bag / "data/journal.jsonl", std::ios::binary);
    auto head = [&j](std::int64_t t, const char* event) {
        j << "{\"t\":" << t << ",\"time\":\"" << timeAt(t) << "\",\"event\":\"" << event << "\"";
    };
    head(0, "start");
    j << ",\"version\":\"kestle 2.0.0\",\"unit\":\"simulated, seed 1\"}\n";
    static const char* words[] = {"cold ", "here ", "leave ", "mother ", "stairs ", "light "};
    int recordings = 0;
    for (long i = 1; i < lines - 1; ++i) {
        const std::int64_t t = kNight * i / lines;
        if (i % 40000 == 1) {
            head(t, "question");
            j << ",\"text\":\"Is anyone here?\\r\\n\"}\n";
        } else if (i % 100000 == 7) {
            const std::string name = std::to_string(++recordings) + " Alarm_Audio.wav";
            std::ofstream(bag / "data/captures" / name, std::ios::binary)
                << std::string(44, '\0') << std::string(4410, '\1');
            head(t, "capture");
            j << ",\"call\":\"Audio.CaptureFileName = \\\"/data/" << name << "\\\"\"}\n";
            head(t, "capture");
            j << ",\"call\":\"Audio.Start\"}\n";
            ++i;
        } else if (i % 50000 == 3) {
            head(t, "alarm");
            j << ",\"text\":\"" << logTime(t) << " Voltage Alarm Tripped Ch A 2.61 VDC\\r\\n\"}\n";
        } else if (i % 10 < 6) {
            head(t, "word");
            j << ",\"word\":\"" << words[i % 6]
              << "\",\"mode\":\"volts\",\"level\":" << 1000 + i % 97 << "}\n";
        } else if (i % 10 < 8) {
            head(t, "speech");
            j << ",\"line\":\"voice 1: " << words[i % 6] << "\"}\n";
        } else {
            head(t, "status");
            j << ",\"text\":\"Listening\"}\n";
        }
    }
    head(kNight, "end");
    j << "}\n";
    j.close();
    writeLogs(bag, kNight);
    std::printf("journal: %ld lines, %ju bytes; %d recordings\n", lines,
                std::uintmax_t(fs::file_size(bag / "data/journal.jsonl")), recordings);
    return seal(bag, kNight);
}

int makeFiles(const fs::path& dir, long files) {
    const fs::path bag = start(dir);
    constexpr std::int64_t kNight = 8 * 3600 * 1000;
    std::ofstream j(bag / "data/journal.jsonl", std::ios::binary);
    j << "{\"t\":0,\"time\":\"" << timeAt(0) << "\",\"event\":\"start\",\"unit\":\"USB HID\"}\n";
    for (long i = 0; i < files; ++i) {
        const fs::path folder = bag / "data/captures" / std::to_string(i / 1000);
        if (i % 1000 == 0)
            fs::create_directories(folder);
        std::ofstream(folder / ("Snapshot " + std::to_string(i) + ".jpg"), std::ios::binary) << i;
    }
    j << "{\"t\":" << kNight << ",\"time\":\"" << timeAt(kNight) << "\",\"event\":\"end\"}\n";
    j.close();
    writeLogs(bag, kNight);
    const int rc = seal(bag, kNight);
    std::printf("manifest-sha256.txt: %ju bytes\n",
                std::uintmax_t(fs::file_size(bag / "manifest-sha256.txt")));
    return rc;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bag_bench journal|files|review|model DIR [COUNT]\n");
        return 2;
    }
    const std::string what = argv[1];
    const fs::path dir = argv[2];
    if (what == "journal")
        return makeJournal(dir, argc > 3 ? std::atol(argv[3]) : 2'000'000);
    if (what == "files")
        return makeFiles(dir, argc > 3 ? std::atol(argv[3]) : 660'000);
    QElapsedTimer t;
    t.start();
    if (what == "model") {
        auto m = review::loadSession(dir, false);
        if (!m) {
            std::fprintf(stderr, "%s\n", m.error().c_str());
            return 1;
        }
        std::printf("model: %.2f s: %zu events, %zu readings, %zu files\n", t.elapsed() / 1000.0,
                    m->events.size(), m->series[0].size(), m->files.size());
        return 0;
    }
    if (what != "review")
        return 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::ReviewWindow w(dir);
    w.show();
    bool shown = false;
    w.onLoaded = [&] {
        shown = true;
        app.quit();
    };
    app.exec();
    if (!shown || !w.model()) {
        std::fprintf(stderr, "the night could not be shown\n");
        return 1;
    }
    std::printf("review window: the night shown after %.2f s: %zu events, %zu readings\n",
                t.elapsed() / 1000.0, w.model()->events.size(), w.model()->series[0].size());
    return 0;
}
