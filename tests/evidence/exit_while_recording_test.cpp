// SPDX-License-Identifier: GPL-3.0-or-later
// The program told to quit while it records video and sound, fifty times
// in a row: every exit is clean, every session's bag is sealed and valid,
// every AVI has its index and its frame count, every WAV its exact header.
#include "capture/kestle_process.h"
#include "capture/media_check.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kestle::evidence {
namespace {

using capture::test::KestleProcess;
namespace fs = std::filesystem;

constexpr int kRuns = 50;

// What is wrong with one run's exit and files; empty when nothing is.
std::string faultsOfOneRun() {
    KestleProcess k;
    k.start("click av1\nclick av3\nwait 1500\nquit\n");
    std::ostringstream faults;
    if (const int status = k.wait(); status != 0)
        faults << " exit status " << status << ";";
    const auto bags = k.bags();
    if (bags.size() != 1)
        faults << " " << bags.size() << " bags;";
    for (const fs::path& bag : bags)
        if (const auto [rc, said] = KestleProcess::verify(bag); rc != 0)
            faults << " bag not valid: " << said << ";";
    const auto avis = k.files(".AVI");
    if (avis.size() != 1)
        faults << " " << avis.size() << " AVIs;";
    for (const fs::path& f : avis) {
        const capture::test::Avi a = capture::test::readAvi(f);
        if (!a.indexed || a.headerFrames == 0 || a.headerFrames != std::uint32_t(a.frames))
            faults << " AVI indexed=" << a.indexed << " header frames " << a.headerFrames << " of "
                   << a.frames << ";";
    }
    const auto wavs = k.files(".wav");
    if (wavs.size() != 1 || !capture::test::readWav(wavs[0]).exact())
        faults << " " << wavs.size() << " WAVs, the first not exact;";
    return faults.str();
}

TEST(ExitWhileRecording, FiftyExitsInARowFinishEveryFileAndSealEveryBag) {
    int clean = 0;
    for (int i = 0; i < kRuns; ++i) {
        const std::string faults = faultsOfOneRun();
        if (faults.empty())
            ++clean;
        else
            ADD_FAILURE() << "run " << i + 1 << ":" << faults;
    }
    EXPECT_EQ(clean, kRuns);
}

} // namespace
} // namespace kestle::evidence
