// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Command line of the application.
#include "app/listen_at.h"
#include "device/trace_format.h"
#include "support/datetime.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestle::app {

struct Options {
    bool help = false;
    bool version = false;
    bool headless = false;
    std::string script;                 // empty: none; "-": standard input
    std::optional<LocalDateTime> clock; // virtual time (headless only)
    std::string device = "hid";         // hid, sim, replay:FILE
    std::uint32_t simSeed = 1;
    std::string record;          // trace file for every exchange; empty: none
    std::string speech = "auto"; // auto, none, wav:DIR
    // auto (cameras and microphones), test (test pattern and tone), none;
    // empty: auto in real time, none with a virtual clock.
    std::string capture;
    std::optional<std::filesystem::path> appDir, dataDir, userList;
    std::optional<std::filesystem::path> verify;        // a session's bag to check, then exit
    std::optional<std::filesystem::path> replaySession; // a session's bag to run again
    std::optional<std::filesystem::path> review;        // a session's bag to look at
    std::optional<std::filesystem::path> reportBag, reportPdf; // its PDF report, then exit
    bool liveChart = false; // the live chart opens with the main window
    // The remote view from the start; plain HTTP with remotePlain.
    std::optional<ListenAt> remote;
    bool remotePlain = false;
    // Listening: a bag's ranked moments; a moment bag made from one; the
    // parent a moment bag is checked against (with --verify).
    std::optional<std::filesystem::path> moments, parent;
    struct MomentExport {
        std::filesystem::path bag, out;
        std::string start, seconds;
    };
    std::optional<MomentExport> exportMoment;
    // A trace already read (a replayed session's, inflated from its bag):
    // played instead of the device's; not a command-line option.
    std::shared_ptr<const device::Trace> replayTrace;
};

struct ParseResult {
    Options options;
    std::string error; // non-empty: print it and exit with status 2
};

ParseResult parseOptions(const std::vector<std::string>& args);
// The capture backend a run uses: the option, or its default.
std::string captureMode(const Options& o);
std::string usageText();
std::string versionText();

} // namespace kestle::app
