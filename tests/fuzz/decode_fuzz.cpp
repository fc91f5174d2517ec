// SPDX-License-Identifier: GPL-3.0-or-later
// Any answers a unit (or a damaged trace) may give: the decode and display
// texts of every reading, then the answers replayed through whole
// acquisition cycles with every mode, band, log and alarm at work.
#include "device/decode.h"
#include "device/trace_format.h"
#include "fuzz_check.h"
#include "session_run.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace kestle;

namespace {

// The 9-byte records of the input: a request character chosen by the first
// byte, then the answer.
std::string traceOf(const std::uint8_t* data, std::size_t size) {
    static constexpr char kRequests[] = {'>', '=', '%', '/'};
    std::string trace;
    for (std::size_t i = 1; i + 9 <= size; i += 9) {
        device::TraceEntry e;
        e.request = kRequests[data[i] % 4];
        for (std::size_t b = 0; b < 8; ++b)
            e.answer[b] = data[i + 1 + b];
        trace += device::formatTraceLine(e) + "\n";
    }
    return trace;
}

void decodeTexts(const std::uint8_t* a) {
    const int w[4] = {device::word(a[0], a[1]), device::word(a[2], a[3]), device::word(a[4], a[5]),
                      device::word(a[6], a[7])};
    for (int v : w) {
        FUZZ_CHECK(device::frequencyText(v).ends_with("Hz"));
        FUZZ_CHECK(device::voltsText(v * device::kVoltsPerCount).ends_with(" VDC"));
        FUZZ_CHECK(device::fieldText(device::sensorField(v, w[0])).ends_with(" mG"));
    }
    FUZZ_CHECK(device::temperatureText(a[4] - 128).ends_with(" F"));
    if (auto d = device::naturalDirection(w[0], w[1], w[2], w[3]))
        FUZZ_CHECK(d->row >= 1 && d->row <= 16 && d->square >= 0 && d->square <= 3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 9 * 64)
        return 0;
    for (std::size_t i = 1; i + 9 <= size; i += 9)
        decodeTexts(data + i + 1);

    const auto trace = fuzz::sessionFolder() / "answers.trace";
    std::ofstream(trace, std::ios::binary | std::ios::trunc) << traceOf(data, size);
    // The first byte picks the ECM mode and a band; every alarm is armed.
    const std::uint8_t pick = data[0];
    std::string script = "click " +
                         std::string(pick % 3 == 0   ? "ITC1"
                                     : pick % 3 == 1 ? "ITC2"
                                                     : "ITC3") +
                         "\nclick " + std::string(pick & 8 ? "lowhz1" : "highHZ3") +
                         "\nclick logfilerf\nclick logalarm\n";
    const char* alarms[] = {"Alarm1", "alarm2", "alarm3", "alarm4",  "alarm5",  "alarm6",
                            "alarm7", "Alarm8", "alarm9", "Alarm10", "alarm11", "alarm12"};
    for (const char* a : alarms)
        script += std::string("answer ") + std::to_string(pick % 7) + "\nclick " + a + "\n";
    script += "click Option1(7)\ntype question Anyone?\\r\\nwait 400\n";
    const auto end = fuzz::runSession(script, "replay:" + trace.string(), 600);
    FUZZ_CHECK(end.ended);
    return 0;
}
