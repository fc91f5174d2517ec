// SPDX-License-Identifier: GPL-3.0-or-later
// The report of a large bag stays short, says the bag's own times, and is
// never left half written where it was asked for.
#include "evidence/bagit.h"
#include "fakes/program_run.h"
#include "fakes/temp_folder.h"

#include <gmock/gmock.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <regex>

namespace kestle::review {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

void write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string line(int t, const char* time, const std::string& rest) {
    return "{\"t\":" + std::to_string(t) + ",\"time\":\"2026-12-07T04:50:" + time + "\"," + rest +
           "}\n";
}

// A session's bag as the program seals it, with `captures` small capture
// files in ten folders; the clock read 0 at 04:50:20.9 (its start line says
// 20), and the end came 6.3 s later, at 04:50:27.2.
fs::path sessionBag(const fs::path& dir, int captures) {
    write(
        dir / "data/journal.jsonl",
        line(0, "20", "\"event\":\"start\",\"version\":\"kestle\",\"unit\":\"simulated, seed 1\"") +
            line(1300, "22",
                 "\"event\":\"word\",\"word\":\"cold\",\"mode\":\"volts\","
                 "\"level\":3") +
            line(6300, "27", "\"event\":\"end\""));
    for (int i = 0; i < captures; ++i)
        write(dir / "data/captures" / std::to_string(i % 10) / (std::to_string(i) + ".jpg"), "x");
    EXPECT_TRUE(evidence::sealBag(
        dir, {{"Session-Start", "2026-12-07T04:50:20"}, {"Session-End", "2026-12-07T04:50:27"}},
        "2026-12-07"));
    return dir;
}

std::string pdfText(const fs::path& pdf) {
    const auto run = test::runProgram({"/usr/bin/pdftotext", "-layout", pdf.string(), "-"});
    return run.out;
}

int pdfPages(const fs::path& pdf) {
    const auto run = test::runProgram({"/usr/bin/pdfinfo", pdf.string()});
    std::smatch m;
    return std::regex_search(run.out, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

// `kestle --report BAG PDF`, as a client runs it.
void report(const fs::path& bag, const fs::path& pdf) {
    const auto run = test::runProgram({KESTLE_BINARY, "--report", bag.string(), pdf.string()});
    ASSERT_EQ(run.status, 0) << run.err;
}

bool wholePdf(const std::string& bytes) {
    return bytes.starts_with("%PDF") && bytes.find("%%EOF", bytes.size() - 64) != std::string::npos;
}

TEST(ReportBounds, AFewThousandFilesAreListedAndTheRestSummedByFolder) {
    TempFolder tmp;
    const fs::path bag = sessionBag(tmp.path() / "bag", 6000);
    report(bag, tmp.path() / "r.pdf");
    const std::string text = pdfText(tmp.path() / "r.pdf");
    EXPECT_THAT(text, HasSubstr("The bag holds 6004 files"));
    EXPECT_THAT(text, HasSubstr("The first 2000 are listed here"));
    EXPECT_THAT(text, HasSubstr("Files not listed above, by folder"));
    EXPECT_THAT(text, ContainsRegex("data/captures/9/ +600 +600"));
    // The session's own files come first.
    EXPECT_THAT(text, HasSubstr("data/journal.jsonl"));
    const int pages = pdfPages(tmp.path() / "r.pdf");
    EXPECT_GT(pages, 10);
    EXPECT_LT(pages, 45); // all 6004 would take some 80
}

TEST(ReportBounds, TheReportsTimesAreTheBagsOwn) {
    TempFolder tmp;
    const fs::path bag = sessionBag(tmp.path() / "bag", 0);
    report(bag, tmp.path() / "r.pdf");
    const std::string text = pdfText(tmp.path() / "r.pdf");
    EXPECT_THAT(text, ContainsRegex("Started +2026-12-07 04:50:20"));
    EXPECT_THAT(text, ContainsRegex("Ended +2026-12-07 04:50:27"));
    EXPECT_THAT(text, ContainsRegex("Length +7 ?s"));
}

// Stopped (a signal) or killed while it writes, the report leaves what was
// at its destination as it was, never a truncated file.
TEST(ReportBounds, AnInterruptedReportNeverLeavesAHalfWrittenFile) {
    TempFolder tmp;
    const fs::path bag = sessionBag(tmp.path() / "bag", 3000);
    const fs::path out = tmp.path() / "out";
    fs::create_directories(out);
    const fs::path pdf = out / "report.pdf";
    auto temporaries = [&out] {
        int n = 0;
        for (const auto& e : fs::directory_iterator(out))
            n += e.path().filename().string().starts_with("report.pdf.tmp");
        return n;
    };
    for (int sig : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(sig);
        write(pdf, "an older report");
        bool sent = false;
        const auto run = test::runProgram({KESTLE_BINARY, "--report", bag.string(), pdf.string()},
                                          120s, [&](pid_t pid) {
                                              if (!sent && temporaries() > 0) {
                                                  ::kill(pid, sig);
                                                  sent = true;
                                              }
                                          });
        ASSERT_TRUE(sent);
        ASSERT_FALSE(run.timedOut);
        const std::string left = read(pdf);
        EXPECT_TRUE(left == "an older report" || wholePdf(left)) << left.substr(0, 40);
        if (sig == SIGTERM) {
            EXPECT_EQ(temporaries(), 0); // its own file removed
            EXPECT_TRUE(run.status == 128 + SIGTERM || (run.status == 0 && wholePdf(left)))
                << run.status << run.err;
        }
        for (const auto& e : fs::directory_iterator(out))
            if (e.path() != pdf)
                fs::remove(e.path());
    }
}

} // namespace
} // namespace kestle::review
