// SPDX-License-Identifier: GPL-3.0-or-later
// A user word list as any file may be: parsing, decoding and shuffling.
#include "ecm/word_list_ops.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace kestle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> entries = ecm::parseUserList(bytes);
    std::string_view body = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    const auto lines = static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n'));
    // One entry per line; a last line without a line end counts as well.
    FUZZ_CHECK(entries.size() == lines + (body.empty() || body.ends_with('\n') ? 0 : 1));
    for (const std::string& e : entries)
        FUZZ_CHECK(!e.empty() && e.back() == ' ' && e.find('\n') == std::string::npos);

    Rnd rnd;
    const std::vector<std::string> mixed = ecm::shuffled(entries, rnd);
    FUZZ_CHECK(mixed.size() == entries.size());
    if (entries.size() > 1)
        FUZZ_CHECK(mixed.back() == entries.front());
    std::vector<std::string> a = entries, b = mixed;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    FUZZ_CHECK(a == b);
    return 0;
}
