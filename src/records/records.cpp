#include "records/records.h"

#include "support/datetime.h"

#include <limits>
#include <utility>

namespace kestle::records {

namespace fs = std::filesystem;

std::string appathText(const fs::path& dataDir) {
    std::string s = dataDir.string();
    const char sep = static_cast<char>(fs::path::preferred_separator);
    if (s.empty() || (s.back() != '/' && s.back() != sep))
        s += sep;
    return s;
}

std::int16_t nextFileCounter(std::int16_t& counter) {
    counter = counter >= std::numeric_limits<std::int16_t>::max() || counter < 0
                  ? std::int16_t{1}
                  : static_cast<std::int16_t>(counter + 1);
    return counter;
}

std::string captureFileName(const std::string& appath, const std::string& stamp, long counter,
                            const std::string& suffix) {
    return appath + stamp + "_" + std::to_string(counter) + suffix;
}

Records::Records(forms::MainForm& f, forms::CVForm& cv, forms::MainState& st, forms::UiHost& host,
                 LogFiles& logs, capture::AudioControl& audio, capture::VideoControl& video,
                 Scheduler& sched, fs::path dataDir, ScreenRenderer& renderer,
                 std::function<std::string()> currentWord)
    : f_(f), cv_(cv), st_(st), host_(host), logs_(logs), audio_(audio), video_(video),
      sched_(sched), dataDir_(std::move(dataDir)), appath_(appathText(dataDir_)),
      renderer_(renderer), currentWord_(std::move(currentWord)) {
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
