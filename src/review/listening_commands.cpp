// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/listening_commands.h"

#include "evidence/bagit.h"
#include "evidence/journal.h"
#include "review/moment_bag.h"
#include "review/sound_cache.h"
#include "review/time_text.h"

#include <cmath>
#include <cstdlib>

namespace kestle::review {

namespace fs = std::filesystem;

std::vector<const Event*> soundRecordings(const SessionModel& m) {
    std::vector<const Event*> out;
    for (const Event& e : m.events)
        if (e.kind == EventKind::Recording && e.file.ends_with(".wav"))
            out.push_back(&e);
    return out;
}

Result<std::vector<Moment>> nightMoments(const SessionModel& m, const fs::path& cacheFolder,
                                         const std::string& chosenWord,
                                         const std::atomic<bool>* stop,
                                         const std::function<void(std::size_t, double)>& progress) {
    const MomentContext c = momentContext(m, chosenWord);
    std::vector<Moment> all;
    const auto recordings = soundRecordings(m);
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        const Event& e = *recordings[i];
        auto a = recordingAnalysis(m.folder, e.file, manifestDigest(m, e.file), cacheFolder, stop,
                                   [&](double share) {
                                       if (progress)
                                           progress(i, share);
                                   });
        if (!a)
            return Error{e.file + ": " + a.error()};
        for (Moment& mo : recordingMoments(e, *a, c))
            all.push_back(std::move(mo));
    }
    rankMoments(all);
    return all;
}

int momentsCommand(const fs::path& bag, std::ostream& out, std::ostream& err) {
    auto m = loadSession(bag, false);
    if (!m) {
        err << "kestle: " << m.error() << "\n";
        return 1;
    }
    auto moments = nightMoments(*m, soundCacheFolder());
    if (!moments) {
        err << "kestle: " << moments.error() << "\n";
        return 1;
    }
    for (const Moment& mo : *moments)
        out << momentLine(mo) << "\n";
    return 0;
}

int exportMomentCommand(const fs::path& bag, const std::string& start, const std::string& seconds,
                        const fs::path& target, std::ostream& out, std::ostream& err) {
    const auto from = parseMomentTime(start);
    char* end = nullptr;
    const double length = std::strtod(seconds.c_str(), &end);
    if (!from || end == seconds.c_str() || *end || !(length > 0) || length > 86400) {
        err << "kestle: --export-moment needs START as YYYY-MM-DDTHH:MM:SS.mmm and SECONDS above "
               "0\n";
        return 1;
    }
    auto m = loadSession(bag, false);
    if (!m) {
        err << "kestle: " << m.error() << "\n";
        return 1;
    }
    const Status s = exportMoment(*m, *from, std::llround(length * 1000), target,
                                  evidence::isoTime(systemLocalNow()).substr(0, 10));
    if (!s) {
        err << "kestle: " << s.error() << "\n";
        return 1;
    }
    out << "Moment written: " << target.string() << "\n";
    return 0;
}

int verifyParentCommand(const fs::path& moment, const fs::path& parent, std::ostream& out) {
    std::vector<std::string> problems = evidence::verifyBag(moment);
    for (std::string& p : verifyMomentParent(moment, parent))
        problems.push_back(std::move(p));
    for (const std::string& p : problems)
        out << p << "\n";
    if (problems.empty())
        out << moment.string() << ": valid, and each cut is the original's in " << parent.string()
            << "\n";
    return problems.empty() ? 0 : 1;
}

} // namespace kestle::review
