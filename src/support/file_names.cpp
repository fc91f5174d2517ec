// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/file_names.h"

#include <limits>

namespace kestle {

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

} // namespace kestle
