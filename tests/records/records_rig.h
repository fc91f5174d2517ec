// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Records object on real form models, a virtual clock fixed at
// 12/7/2026 4:50:20 AM, a fresh data folder, and fakes that remember every
// dialog, capture call and picture.
#include "capture/alarm_capture.h"
#include "capture/recorded_controls.h"
#include "fakes/cancelled_dialogs.h"
#include "records/records.h"
#include "support/textfile.h"
#include "support/virtual_scheduler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <unistd.h>

namespace kestle::records::test {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

inline const std::string kStamp = "12/7/2026 4:50:20 AM";
inline const std::string kFileStamp = "12_7_2026 4_50_20 AM";

struct FakeHost : kestle::test::CancelledDialogs {
    void messageBox(const std::string& t, const std::string& text, std::function<void()>) override {
        messages.push_back(t + "|" + text);
    }
    void inputBox(const std::string& title, const std::string& prompt, const std::string& proposed,
                  std::function<void(std::optional<std::string>)> done) override {
        inputs.push_back(title + "|" + prompt + "|" + proposed);
        auto a = answers.front();
        answers.pop_front();
        done(a);
    }
    void status(const std::string& text) override { statuses.push_back(text); }
    void event(const std::string&) override {}
    bool openWithDefaultProgram(const fs::path& p) override { return opened.push_back(p), canOpen; }
    bool startProgram(const fs::path&) override { return false; }
    void focus(const std::string& name) override { focused.push_back(name); }
    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> messages, inputs, focused, statuses;
    std::vector<fs::path> opened;
    bool canOpen = true;
};

// Stores the text itself as the "picture", or fails with a set reason.
struct FakeRenderer : ScreenRenderer {
    Status render(const std::string& text, const fs::path& path) override {
        calls.push_back(path);
        if (!failWith.empty())
            return Error{failWith};
        std::ofstream(path, std::ios::binary) << text;
        return {};
    }
    std::vector<fs::path> calls;
    std::string failWith;
};

inline std::string fileText(const fs::path& p) {
    auto r = readFileBytes(p, std::uint64_t{1} << 30);
    return r.ok() ? *r : std::string("<missing>");
}

class RecordsTest : public ::testing::Test {
  protected:
    ~RecordsTest() override { fs::remove_all(root); }

    // The general date format follows the locale; these files are US/C.
    int localeSet = ::setenv("LC_ALL", "C", 1);
    fs::path root = fs::temp_directory_path() /
                    ("kestle-records-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path data = root / "data";
    bool madeData = (fs::remove_all(root), fs::create_directories(data));
    std::string appath = data.string() + "/";
    VirtualScheduler sched{LocalDateTime{2026, 12, 7, 4, 50, 20}};
    FakeHost host;
    forms::MainForm f{sched};
    forms::CVForm cv;
    forms::MainState st;
    LogFiles logs;
    capture::test::RecordedControls capture;
    std::vector<std::string>& calls = capture.calls;
    capture::AlarmCapture alarmCapture{f, st, capture.audio, capture.video, sched, data};
    FakeRenderer renderer;
    std::string word;
    Records rec{f, cv, st, host, logs, sched, data, renderer, [this] { return word; }};

    // Readings of an ordinary call: levels 520 and 550 counts, 266 and 30 Hz.
    void typicalReadings() {
        st.ava1 = 520, st.avb1 = 550, st.frequencya = 266, st.frequencyb = 30;
        st.frequencyav = 148, st.rfhit = 0, st.nochange = 0, st.threshold = 535;
        st.Temp = 69, st.tempf = "69. F", st.rfid = 6, st.nemf = " 10.5";
        st.emfA = "1.5 mG", st.emfB = ". mG", st.emfC = " 2.625 mG", st.emfD = " 0 mG";
        st.emfE = "-2.73 mG", st.emfF = "-0.42 mG";
        f.tholddsp->setText("1.31 VDC");
        f.TRENDDSP->setText("+");
        f.CHA_DSP->setText("2.54 VDC");
        f.CHB_DSP->setText("2.69 VDC");
        f.FREQA->setText(" 266 Hz");
        f.FREQB->setText(" 30 Hz");
        f.EMFdisplay1->setText("  12.5 mG");
    }
    // Enters a limit through the menu item, as the operator does.
    void setLimit(int n, std::optional<std::string> typed) {
        host.answers.push_back(std::move(typed));
        f.alarms[static_cast<std::size_t>(n)]->click();
    }
    fs::path logPath(Log log) const { return data / logFileName(log); }
};

} // namespace kestle::records::test
