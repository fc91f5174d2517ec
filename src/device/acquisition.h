// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device side of the main window: the link notifications, the report
// exchanges, get_data, the temperature and natural-EMF steps, the scope
// burst, the acquisition cycle, the ECM modes and RF bands. Window thread
// only; procedures that wait for the Kestle are coroutines (see task.h).
#include "device/hid_link.h"
#include "device/task.h"
#include "device/waiter.h"
#include "forms/main_form.h"
#include "forms/main_state.h"
#include "forms/ui_host.h"
#include "scope/drawing.h"
#include "scope/traces.h"

#include <functional>
#include <vector>

namespace kestle::device {

inline constexpr const char* kNoAnswerText = "The Kestle did not answer";

// The stages of get_data and of the tick that other subsystems fill in.
struct Stages {
    std::function<Task()> wordSelection;  // after threshold and trend
    std::function<void()> logs;           // then the data logs
    std::function<void()> alarms;         // then the alarm checks
    std::function<void()> captureOnAlarm; // then capture on alarm
    std::function<void()> saveDisplay;    // "Capture Display" when the display is full
    std::function<void()> imageQaCapture; // end of a tick with "Image QA Capture"
    std::function<void()> phoneme;        // each htime tick
};

class Acquisition {
  public:
    Acquisition(Scheduler& sched, forms::UiHost& host, HidLink& hid, forms::MainForm& f,
                forms::MainState& st);
    ~Acquisition();
    Acquisition(const Acquisition&) = delete;
    Acquisition& operator=(const Acquisition&) = delete;

    Stages stages;
    // Told when the Kestle is plugged in (true) or pulled (false).
    std::function<void(bool)> onPresence;

    // Link binding and its four notifications.
    void connect_hid();
    void disconnect_hid();
    void OnPlugged(DeviceHandle h);
    void OnUnplugged(DeviceHandle h);
    void OnChanged();
    void OnRead(DeviceHandle h);

    // One request and its answer: false when the request could not be
    // written, the answer did not come within the time limit, or the unit
    // went away meanwhile. `pumpFirst` lets pending events run once between
    // the write and the wait.
    Task exchange(char command, bool pumpFirst);
    // The exchange steps; each leaves `state` 0.
    Task get_data();
    Task getemf();
    Task getnemf();
    Task updscope();
    // One full acquisition cycle (a speechtimer tick).
    Task cycle();
    // The busy-wait pause: 0.1 ms per unit.
    Waiter::Await dtimer(int n) { return waiter_.pause(n / 10); }
    Waiter& waiter() { return waiter_; }

    void speechtimer_Timer();
    bool cycleRunning() const { return cycle_.valid() && !cycle_.done(); }

    // ECM modes and bands.
    void ITC1_Click();
    void ITC2_Click();
    void ITC3_Click();
    void modeitc();
    void bandClick(int band);
    void ofs_Change();

    // Phoneme run controls.
    void Command2_Click();
    void Slider2_Change();

    // Temperature calibration and compass alignment.
    void tempdisp_DblClick();
    void Command3_Click();

    // The scope's last drawing, in the picture box's twips.
    const std::vector<scope::Line>& scopeLines() const { return scopeLines_; }
    const scope::ScopeTraces& traces() const { return traces_; }

  private:
    Task cycleSteps();
    void wire();
    void noAnswer();
    void thresholdAndTrend(double level, bool roundSum);
    bool changeGate(double level) const;

    Scheduler& sched_;
    forms::UiHost& host_;
    HidLink& hid_;
    forms::MainForm& f_;
    forms::MainState& st_;
    Waiter waiter_;
    Task cycle_;
    scope::ScopeTraces traces_;
    std::vector<scope::Line> scopeLines_;
    bool connected_ = false;
    bool noAnswerShown_ = false;
};

} // namespace kestle::device
