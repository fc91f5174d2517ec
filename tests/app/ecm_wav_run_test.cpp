// SPDX-License-Identifier: GPL-3.0-or-later
// A headless run in real time with --speech wav:DIR: every Speak the run
// prints leaves one WAV file of its voice, in order, with real speech in it
// wherever the text has a letter to say; one random time-slice tick gives
// all four voices an utterance at once.
#include "app/application.h"
#include "ecm/wav_check.h"
#include "support/quote.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using kestle::ecm::testing::holdsSpeech;
using kestle::ecm::testing::summarizeWav;
using kestle::ecm::testing::wavFiles;

constexpr const char* kScript = "click frmSplash.Check2\n"
                                "click frmSplash.Command1\n"
                                "click speechON\n"
                                "click Option1(0)\n"
                                "type question Who is there?\\r\\n\n"
                                "wait 3300\n"
                                "click rsphone\n"
                                "click Check1(1)\n"
                                "click Check1(2)\n"
                                "click Check1(3)\n"
                                "click Command2\n"
                                "wait 50\n"
                                "click Command2\n"
                                "wait 1500\n";

// The texts of the SPEAK lines of the output, per voice.
std::map<int, std::vector<std::string>> spoken(const std::string& out) {
    std::map<int, std::vector<std::string>> r;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("SPEAK ", 0) == 0)
            r[l[6] - '0'].push_back(kestle::unescapeScriptText(l.substr(9, l.size() - 10)));
    }
    return r;
}

bool hasLetter(const std::string& s) {
    for (char c : s) {
        if (std::isalpha(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

TEST(HeadlessWavSpeech, EveryUtteranceLeavesAFileAndTheFourVoicesShareATick) {
    const fs::path dir =
        fs::temp_directory_path() / ("kestle-wav-run-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "demo.script") << kScript;
    const fs::path wav = dir / "wav";

    auto parsed = kestle::app::parseOptions(
        {"--headless", "--device", "sim", "--capture", "none", "--speech", "wav:" + wav.string(),
         "--app-dir", dir.string(), "--data-dir", (dir / "data").string(), "--user-list",
         (dir / "list.txt").string(), "--script", (dir / "demo.script").string()});
    ASSERT_EQ(parsed.error, "");
    std::ostringstream out, err;
    std::istringstream in;
    ASSERT_EQ(kestle::app::runHeadless(
                  parsed.options, kestle::app::resolvePaths(parsed.options, dir), out, err, in),
              0)
        << err.str();

    const auto said = spoken(out.str());
    ASSERT_GE(said.count(1), 1u) << out.str();
    // The question's words plus the tick's own utterance on voice 1.
    EXPECT_GE(said.at(1).size(), 2u) << out.str();
    for (int v = 1; v <= 4; ++v) {
        ASSERT_TRUE(said.count(v)) << "voice " << v << "\n" << out.str();
        const auto files = wavFiles(wav, "voice" + std::to_string(v) + "-");
        ASSERT_EQ(files.size(), said.at(v).size()) << "voice " << v << "\n" << out.str();
        if (v > 1) {
            EXPECT_EQ(files.size(), 1u) << "one tick, one utterance per voice";
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto s = summarizeWav(wav / files[i]);
            EXPECT_TRUE(s.valid) << files[i];
            if (hasLetter(said.at(v)[i])) {
                EXPECT_TRUE(holdsSpeech(s)) << files[i] << " for " << said.at(v)[i];
            }
        }
    }
    fs::remove_all(dir);
}

} // namespace
