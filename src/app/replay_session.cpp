// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/replay_session.h"

#include "app/application.h"
#include "evidence/bag_verify.h"
#include "evidence/replay_plan.h"
#include "support/quote.h"
#include "support/textfile.h"

#include <sstream>
#include <unistd.h>

namespace kestle::app {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxSettingsBytes = 1 << 20;
constexpr std::size_t kProblemsShown = 20;

// The replay's own application folder: the start's settings.
class Workspace {
  public:
    Workspace()
        : dir_(fs::temp_directory_path() / ("kestle-replay-" + std::to_string(::getpid()))) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const fs::path& dir() const { return dir_; }

  private:
    fs::path dir_;
};

void warnIfInvalid(const fs::path& bag, const evidence::StopFlag& stop, std::ostream& err) {
    evidence::VerifyOptions options;
    options.stop = stop;
    const evidence::Verification v = evidence::checkBag(bag, options);
    if (v.valid() || v.stopped)
        return;
    std::vector<std::string> said = v.problems;
    said.insert(said.end(), v.unchecked.begin(), v.unchecked.end());
    err << "kestle: warning: " << printableText(bag.string())
        << (v.problems.empty() ? " could not be verified" : " failed verification")
        << "; what it holds may have been changed since it was sealed:\n";
    for (std::size_t i = 0; i < said.size() && i < kProblemsShown; ++i)
        err << "  " << said[i] << '\n';
    if (said.size() > kProblemsShown)
        err << "  ... and " << said.size() - kProblemsShown << " more\n";
}

// Everything a line source gives, to `take`.
Status eachLine(Result<evidence::LineReader> lines,
                const std::function<Status(std::string_view)>& take) {
    if (!lines)
        return Error{lines.error()};
    std::string_view line;
    while (true) {
        auto more = lines->next(line);
        if (!more)
            return Error{more.error()};
        if (!*more)
            return {};
        if (Status s = take(line); !s)
            return s;
    }
}

} // namespace

int runReplaySession(const Options& o, std::ostream& out, std::ostream& err,
                     evidence::StopFlag stop) {
    const fs::path bag = *o.replaySession;
    auto fail = [&err](const std::string& why) {
        err << "kestle: cannot replay the session: " << why << '\n';
        return 2;
    };
    auto reader = evidence::BagReader::open(bag, {}, stop);
    if (!reader)
        return fail(reader.error());
    warnIfInvalid(bag, stop, err);

    evidence::ReplayPlanner planner;
    if (Status s = eachLine(reader->lines("data/journal.jsonl", false),
                            [&planner](std::string_view l) { return planner.line(l); });
        !s)
        return fail(s.error());
    auto plan = planner.finish();
    if (!plan)
        return fail(plan.error());
    // The trace is parsed as it is inflated; a damaged line is named by its
    // number, its bytes shown only as printable text.
    device::TraceParser parser;
    if (Status s = eachLine(reader->lines("data/trace.gz", false, true),
                            [&parser](std::string_view l) {
                                Status parsed = parser.line(l);
                                if (!parsed)
                                    return Status{Error{"data/trace.gz, " +
                                                        printableText(parsed.error(), 120)}};
                                return parsed;
                            });
        !s)
        return fail(s.error());
    auto settings = reader->readAll("data/settings-at-start.ini", kMaxSettingsBytes);
    if (!settings)
        return fail(settings.error());

    Workspace ws;
    if (Status s = writeFileBytesAtomic(ws.dir() / "Kestle.ini", *settings); !s)
        return fail(s.error());
    Options r;
    r.headless = true;
    r.clock = plan->start;
    r.device = "replay:" + (bag / "data" / "trace.gz").string();
    r.replayTrace = std::make_shared<const device::Trace>(parser.take());
    r.speech = "none";
    r.capture = "none";
    r.appDir = ws.dir();
    r.dataDir = o.dataDir;
    r.userList = o.userList ? *o.userList : ws.dir() / "list.txt";
    std::ostringstream script;
    for (const std::string& line : plan->script)
        script << line << '\n';
    r.script = "-";
    std::istringstream in(script.str());
    return runHeadless(r, resolvePaths(r, ws.dir()), out, err, in);
}

} // namespace kestle::app
