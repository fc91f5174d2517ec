// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file as a hostile user may leave it: the reader and writer
// rules on any bytes, and the conversions of the values read.
#include "app/inifile.h"
#include "fakes/settings_keys.h"
#include "fuzz_check.h"
#include "support/convert.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace kestle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // A start: every key read and converted as readini does.
    const std::vector<IniEntry> read = test::saveEntries(text);
    for (const IniEntry& e : read) {
        (void)toBoolean(e.value);
        (void)toInt16(e.value);
        (void)parseNumber(e.value);
    }

    // Saving what was read: the first save may normalise the file (blank
    // lines, a key added where the reader could not see it), but from then
    // on a save of unchanged values leaves the text as it is.
    const std::string once = test::applyAll(text, read);
    const std::string twice = test::applyAll(once, test::saveEntries(once));
    const std::string thrice = test::applyAll(twice, test::saveEntries(twice));
    FUZZ_CHECK(thrice == twice);
    FUZZ_CHECK(once.size() >= 2 && once.ends_with("\r\n"));

    // A value the application writes is the value the next start reads.
    std::vector<IniEntry> changed = read;
    for (std::size_t i = 0; i < changed.size(); ++i)
        changed[i].value = i % 3 == 0 ? "True" : i % 3 == 1 ? "-12" : "Hall 2, Caf\u00e9";
    const std::string saved = test::applyAll(text, changed);
    for (const IniEntry& e : test::saveEntries(saved)) {
        bool found = false;
        for (const IniEntry& c : changed)
            found = found || (c.section == e.section && c.key == e.key && c.value == e.value);
        FUZZ_CHECK(found);
    }
    return 0;
}
