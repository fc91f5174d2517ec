// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/options.h"

#include <charconv>

namespace kestle::app {

std::string usageText() {
    return "Usage: kestle [OPTION]...\n"
           "Companion application for the Vantic Kestle sensor unit.\n"
           "\n"
           "  --device hid|sim|replay:FILE  the Kestle to use (default hid: the real unit;\n"
           "                                sim: the simulated unit; replay: a trace file)\n"
           "  --sim-seed N                  seed of the simulated Kestle (default 1)\n"
           "  --record FILE                 write every exchange with the Kestle to FILE\n"
           "  --speech auto|none|wav:DIR    speech output (default auto)\n"
           "  --capture auto|test|none      camera and microphone (default auto: the\n"
           "                                system's; test: a test pattern and tone;\n"
           "                                none: no capture, the default with --clock)\n"
           "  --app-dir DIR                 folder of Kestle.ini, BOX.BMP and the manual\n"
           "                                (default: the program's folder; installed:\n"
           "                                ~/.config/kestle and share/kestle)\n"
           "  --data-dir DIR                folder for logs and captures\n"
           "                                (default: $HOME/Vantic_Data/)\n"
           "  --user-list FILE              user word list (default: $HOME/list.txt)\n"
           "  --headless                    run without a window\n"
           "  --script FILE                 operator actions, one per line (- for stdin)\n"
           "  --clock YYYY-MM-DDTHH:MM:SS   virtual time from that local time (headless)\n"
           "  --help                        show this help and exit\n"
           "  --verify DIR                  check the evidence bag of a session (a folder\n"
           "                                in the data folder's Sessions); exit 0 when\n"
           "                                it is valid, 1 when not, 2 when it\n"
           "                                cannot be read\n"
           "  --replay-session DIR          run a session's bag again (headless, virtual\n"
           "                                time): its actions against its trace; the\n"
           "                                logs go to --data-dir, which it needs\n"
           "  --review DIR                  look at a session's bag: its readings and\n"
           "                                events on one time axis\n"
           "  --report DIR FILE.pdf         write the PDF report of a session's bag\n"
           "                                and exit (0 when written)\n"
           "  --moments DIR                 print a session's moments worth hearing,\n"
           "                                best first, one a line (tab-separated)\n"
           "  --export-moment DIR START SECONDS OUT\n"
           "                                write the moment from START (as --moments\n"
           "                                prints it) as a new sealed bag OUT\n"
           "  --verify MOMENT --parent DIR  check a moment bag and that its cuts are\n"
           "                                the parent bag's own\n"
           "  --live-chart                  open the live chart with the main window\n"
           "  --remote [ADDRESS:]PORT       let paired phones follow the session over\n"
           "                                HTTPS on PORT (0: any free one), on ADDRESS\n"
           "                                or every private-network address; prints\n"
           "                                REMOTE \"URL\" (headless) with the pairing link\n"
           "  --remote-plain                the remote view over plain HTTP, unencrypted\n"
           "  --version                     show the version and exit\n";
}

std::string versionText() {
    // The first line names the program in every bag it seals.
    return "kestle 2.0.0 (The Vantic Kestle Version 2.00)\n"
           "License GPL-3.0-or-later: GNU GPL version 3 or later "
           "<https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

ParseResult parseOptions(const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    auto fail = [&r](std::string msg) {
        r.error = std::move(msg);
        return r;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        bool hasInline = false;
        if (a.rfind("--", 0) == 0) {
            auto eq = a.find('=');
            if (eq != std::string::npos) {
                value = a.substr(eq + 1);
                a = a.substr(0, eq);
                hasInline = true;
            }
        }
        auto need = [&](std::string& out) -> bool {
            if (hasInline) {
                out = value;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        auto flag = [&](bool& target) -> bool {
            if (hasInline)
                return false;
            target = true;
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            if (!flag(o.help))
                return fail("option --help takes no value");
        } else if (a == "--version") {
            if (!flag(o.version))
                return fail("option --version takes no value");
        } else if (a == "--headless") {
            if (!flag(o.headless))
                return fail("option --headless takes no value");
        } else if (a == "--live-chart") {
            if (!flag(o.liveChart))
                return fail("option --live-chart takes no value");
        } else if (a == "--remote") {
            if (!need(v) || v.empty())
                return fail("option --remote needs [ADDRESS:]PORT");
            auto where = parseListenAt(v);
            if (!where)
                return fail("bad value for --remote: '" + v + "' (" + where.error() + ")");
            o.remote = *where;
        } else if (a == "--remote-plain") {
            if (!flag(o.remotePlain))
                return fail("option --remote-plain takes no value");
        } else if (a == "--report") {
            if (!need(v) || v.empty() || i + 1 >= args.size() || args[i + 1].empty())
                return fail("option --report needs a session's folder and a PDF file");
            o.reportBag = v;
            o.reportPdf = args[++i];
        } else if (a == "--export-moment") {
            if (i + 4 >= args.size())
                return fail(
                    "option --export-moment needs a session's folder, START, SECONDS and OUT");
            o.exportMoment =
                Options::MomentExport{args[i + 1], args[i + 4], args[i + 2], args[i + 3]};
            i += 4;
        } else if (a == "--moments" || a == "--parent") {
            if (!need(v) || v.empty())
                return fail("option " + a + " needs a folder");
            (a == "--moments" ? o.moments : o.parent) = v;
        } else if (a == "--script" || a == "--device" || a == "--sim-seed" || a == "--record" ||
                   a == "--speech" || a == "--capture" || a == "--app-dir" || a == "--data-dir" ||
                   a == "--user-list" || a == "--clock" || a == "--verify" ||
                   a == "--replay-session" || a == "--review") {
            if (!need(v) || v.empty())
                return fail("option " + a + " needs a value");
            if (a == "--script") {
                o.script = v;
            } else if (a == "--device") {
                if (v != "hid" && v != "sim" && !(v.rfind("replay:", 0) == 0 && v.size() > 7))
                    return fail("bad value for --device: '" + v +
                                "' (expected hid, sim or replay:FILE)");
                o.device = v;
            } else if (a == "--sim-seed") {
                std::uint32_t seed = 0;
                auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), seed);
                if (ec != std::errc() || p != v.data() + v.size())
                    return fail("bad value for --sim-seed: '" + v +
                                "' (expected a whole number from 0 to 4294967295)");
                o.simSeed = seed;
            } else if (a == "--record") {
                o.record = v;
            } else if (a == "--speech") {
                if (v != "auto" && v != "none" && !(v.rfind("wav:", 0) == 0 && v.size() > 4))
                    return fail("bad value for --speech: '" + v +
                                "' (expected auto, none or wav:DIR)");
                o.speech = v;
            } else if (a == "--capture") {
                if (v != "auto" && v != "test" && v != "none")
                    return fail("bad value for --capture: '" + v +
                                "' (expected auto, test or none)");
                o.capture = v;
            } else if (a == "--app-dir") {
                o.appDir = v;
            } else if (a == "--data-dir") {
                o.dataDir = v;
            } else if (a == "--verify") {
                o.verify = v;
            } else if (a == "--replay-session") {
                o.replaySession = v;
            } else if (a == "--review") {
                o.review = v;
            } else if (a == "--user-list") {
                o.userList = v;
            } else if (a == "--clock") {
                LocalDateTime t;
                if (!parseIsoDateTime(v, t))
                    return fail("bad value for --clock: '" + v +
                                "' (expected YYYY-MM-DDTHH:MM:SS)");
                o.clock = t;
            }
        } else {
            return fail("unknown option '" + args[i] + "'");
        }
    }
    if (o.parent && !o.verify)
        return fail("option --parent goes with --verify MOMENT");
    if (o.review && o.headless)
        return fail("option --review needs a window; use --report for a file");
    if (o.replaySession && !o.dataDir)
        return fail("option --replay-session needs --data-dir");
    if (o.remotePlain && !o.remote)
        return fail("option --remote-plain goes with --remote");
    if (o.remote && o.clock)
        return fail("option --remote serves in real time; it cannot run with --clock");
    if (o.clock && !o.headless && !o.help && !o.version)
        return fail("option --clock needs --headless");
    if (o.clock && (o.capture == "auto" || o.capture == "test"))
        return fail("option --capture " + o.capture +
                    " records in real time; it cannot run with --clock");
    return r;
}

std::string captureMode(const Options& o) {
    if (!o.capture.empty())
        return o.capture;
    return o.clock ? "none" : "auto";
}

} // namespace kestle::app
