// SPDX-License-Identifier: GPL-3.0-or-later
// An operator script as any file may be: every line parsed and run against
// the whole application with the simulated Kestle, for two seconds of
// virtual time at most.
#include "fuzz_check.h"
#include "session_run.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Longer scripts add nothing but time.
    if (size > 4096)
        return 0;
    const std::string script(reinterpret_cast<const char*>(data), size);
    const auto end = kestle::fuzz::runSession(script, "sim", 2000);
    // Whatever the script did, choosing Exit ends the session.
    FUZZ_CHECK(end.ended);
    return 0;
}
