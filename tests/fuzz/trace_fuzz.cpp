// SPDX-License-Identifier: GPL-3.0-or-later
// A trace file as any file may be: parsed, and what parses writes back the
// same.
#include "device/trace_format.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace kestle::device;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto trace = parseTrace(text);
    if (!trace) {
        FUZZ_CHECK(trace.error().starts_with("line "));
        return 0;
    }
    std::string written;
    for (const TraceEntry& e : *trace)
        written += formatTraceLine(e) + "\n";
    const auto again = parseTrace(written);
    FUZZ_CHECK(again && *again == *trace);
    return 0;
}
