#include "app/replay_session.h"

#include "app/application.h"
#include "evidence/replay_plan.h"
#include "support/textfile.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kestle::app {

namespace fs = std::filesystem;

namespace {

// The replay's own application folder: the start's settings, the trace.
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

} // namespace

int runReplaySession(const Options& o, std::ostream& out, std::ostream& err) {
    const fs::path bag = *o.replaySession;
    auto fail = [&err](const std::string& why) {
        err << "kestle: cannot replay the session: " << why << '\n';
        return 2;
    };
    auto journal = readFileBytes(bag / "data" / "journal.jsonl", 1ull << 30);
    if (!journal)
        return fail(journal.error());
    auto plan = evidence::planReplay(*journal);
    if (!plan)
        return fail(plan.error());
    auto trace = evidence::readGzip((bag / "data" / "trace.gz").string());
    if (!trace)
        return fail(trace.error());
    auto settings = readFileBytes(bag / "data" / "settings-at-start.ini", 1 << 20);
    if (!settings)
        return fail(settings.error());

    Workspace ws;
    std::ofstream(ws.dir() / "trace.txt", std::ios::binary) << *trace;
    std::ofstream(ws.dir() / "Kestle.ini", std::ios::binary) << *settings;
    Options r;
    r.headless = true;
    r.clock = plan->start;
    r.device = "replay:" + (ws.dir() / "trace.txt").string();
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
