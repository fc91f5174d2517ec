// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/records.h"

#include "support/datetime.h"

#include <utility>

namespace kestle::records {

namespace fs = std::filesystem;

Records::Records(forms::MainForm& f, forms::CVForm& cv, forms::MainState& st, forms::UiHost& host,
                 LogFiles& logs, Scheduler& sched, fs::path dataDir, ScreenRenderer& renderer,
                 std::function<std::string()> currentWord)
    : f_(f), cv_(cv), st_(st), host_(host), logs_(logs), sched_(sched),
      dataDir_(std::move(dataDir)), appath_(appathText(dataDir_)), renderer_(renderer),
      currentWord_(std::move(currentWord)) {
    for (int n = 0; n < 12; ++n)
        f_.alarms[static_cast<std::size_t>(n)]->onClick = [this, n] { alarmClick(n); };
    f_.alarm13->onClick = [this] { alarm13_Click(); };
    f_.logfileon->onClick = [this] { logfileon_Click(); };
    f_.logfilerf->onClick = [this] { logfilerf_Click(); };
    f_.logalarm->onClick = [this] { logalarm_Click(); };
    f_.logtext->onClick = [this] { logtext_Click(); };
    f_.veiwall->onClick = [this] { veiwall_Click(); };
    f_.Save_Main_display->onClick = [this] { Save_Main_display_Click(); };
    f_.clear_main->onClick = [this] { clear_main_Click(); };
}

std::string Records::timeStamp() const {
    return generalDate(sched_.localNow());
}

void Records::stampTem() {
    st_.tem = swapstring(timeStamp());
}

} // namespace kestle::records
