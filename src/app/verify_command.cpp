// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/verify_command.h"

#include "evidence/bag_verify.h"
#include "support/quote.h"

#include <ostream>

namespace kestle::app {

namespace {

std::string count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

int verifyCommand(const std::filesystem::path& bag, std::ostream& out, std::ostream& err,
                  evidence::StopFlag stop) {
    evidence::VerifyOptions options;
    options.stop = std::move(stop);
    const evidence::Verification v = evidence::checkBag(bag, options);
    for (const std::string& p : v.problems)
        err << p << '\n';
    for (const std::string& u : v.unchecked)
        err << "not checked: " << u << '\n';
    for (const std::string& w : v.warnings)
        err << "warning: " << w << '\n';
    const std::string name = printableText(bag.string());
    const std::string version =
        v.version.empty() ? std::string() : " (BagIt " + printableText(v.version, 20) + ")";
    if (v.stopped) {
        err << name << ": the check was stopped before its end" << version << '\n';
        return 2;
    }
    switch (v.exitStatus()) {
    case 0: {
        std::string algorithms;
        for (const std::string& a : v.algorithms)
            algorithms += (algorithms.empty() ? "" : ", ") + a;
        out << name << ": the bag is valid" << version << ": "
            << count(v.payloadFiles, "payload file", "payload files") << ", " << v.payloadBytes
            << " bytes, checked with " << algorithms;
        if (!v.warnings.empty())
            out << "; " << count(v.warnings.size(), "warning", "warnings");
        out << '\n';
        return 0;
    }
    case 1:
        err << name << ": the bag is not valid" << version << ": "
            << count(v.problems.size(), "problem", "problems") << '\n';
        return 1;
    default:
        err << name << ": the bag could not be checked" << version << '\n';
        return 2;
    }
}

} // namespace kestle::app
