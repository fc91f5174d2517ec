// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture_names.h"

#include "support/datetime.h"
#include "support/file_names.h"

namespace kestle::capture {

std::string nextCaptureName(forms::MainState& st, const Scheduler& sched, const std::string& appath,
                            std::int16_t& counter, const char* suffix) {
    st.tem = swapstring(generalDate(sched.localNow()));
    return captureFileName(appath, st.tem, nextFileCounter(counter), suffix);
}

} // namespace kestle::capture
