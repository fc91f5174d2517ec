// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/review_ledger.h"

#include "evidence/journal.h"
#include "evidence/replay_plan.h"
#include "evidence/digest.h"
#include "review/bag_sound.h"
#include "support/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <pwd.h>
#include <tuple>
#include <unistd.h>

namespace kestle::review {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxLedgerBytes = 64ull << 20;

std::string speedText(double s) {
    char b[16];
    std::snprintf(b, sizeof b, "%g", s);
    return b;
}

} // namespace

fs::path ledgerPath(const fs::path& bag) {
    fs::path folder = bag;
    if (folder.filename().empty())
        folder = folder.parent_path();
    return folder.parent_path() / (folder.filename().string() + ".review.jsonl");
}

Result<std::string> bagDigest(const fs::path& bag) {
    auto f = openBagFile(bag, "tagmanifest-sha256.txt", 16u << 20);
    if (!f)
        return Error{f.error()};
    auto bytes = f->read(0, std::size_t(f->size()));
    if (!bytes)
        return Error{bytes.error()};
    return evidence::sha256Hex(*bytes);
}

Spans joinSpans(Spans spans) {
    std::sort(spans.begin(), spans.end());
    Spans out;
    for (const auto& s : spans) {
        if (s.second <= s.first)
            continue;
        if (!out.empty() && s.first <= out.back().second)
            out.back().second = std::max(out.back().second, s.second);
        else
            out.push_back(s);
    }
    return out;
}

double heardShare(const Spans& heard, std::int64_t lengthMs) {
    if (lengthMs <= 0)
        return 0;
    std::int64_t sum = 0;
    for (const auto& [a, b] : joinSpans(heard))
        sum += std::min(b, lengthMs) - std::max<std::int64_t>(a, 0) > 0
                   ? std::min(b, lengthMs) - std::max<std::int64_t>(a, 0)
                   : 0;
    return std::min(1.0, double(sum) / double(lengthMs));
}

Result<ReviewLedger> ReviewLedger::open(const fs::path& bag, std::string digest) {
    ReviewLedger l;
    l.path_ = ledgerPath(bag);
    l.digest_ = std::move(digest);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(l.path_, ec)))
        return l;
    if (fs::is_symlink(fs::symlink_status(l.path_, ec)))
        return Error{l.path_.string() + " is a link, not the review file"};
    auto text = readFileBytes(l.path_, kMaxLedgerBytes);
    if (!text)
        return Error{text.error()};
    for (const std::string& line : splitLines(*text)) {
        auto field = [&line](const char* k) {
            return evidence::journalField(line, k).value_or("");
        };
        if (field("bag") != l.digest_)
            continue; // another bag's, or a line cut short
        LedgerEntry e;
        e.event = field("event");
        if (e.event != "played" && e.event != "mark")
            continue;
        e.time = field("time");
        e.by = field("by");
        e.file = field("file");
        e.fromMs = std::strtoll(field("from").c_str(), nullptr, 10);
        e.toMs = std::strtoll(field("to").c_str(), nullptr, 10);
        e.speed = std::strtod(field("speed").c_str(), nullptr);
        e.verdict = field("verdict");
        e.note = field("note");
        l.entries_.push_back(std::move(e));
    }
    return l;
}

std::string ReviewLedger::reviewer() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    const char* user = std::getenv("USER");
    return user && *user ? user : "unknown";
}

Status ReviewLedger::append(const LedgerEntry& e) {
    evidence::JsonFields f;
    f.add("bag", digest_).add("time", e.time).add("by", e.by).add("event", e.event);
    f.add("file", e.file).add("from", e.fromMs).add("to", e.toMs);
    if (e.event == "played")
        f.add("speed", speedText(e.speed));
    else
        f.add("verdict", e.verdict).add("note", e.note);
    const std::string line = "{" + f.text().substr(1) + "}\n";
    const int fd =
        ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return Error{path_.string() + " cannot be written: " + std::strerror(errno)};
    const ssize_t n = ::write(fd, line.data(), line.size());
    const int err = errno;
    ::close(fd);
    if (n != ssize_t(line.size()))
        return Error{path_.string() + " cannot be written: " + std::strerror(n < 0 ? err : ENOSPC)};
    entries_.push_back(e);
    return {};
}

Status ReviewLedger::played(const std::string& file, std::int64_t fromMs, std::int64_t toMs,
                            double speed, const LocalDateTime& now) {
    LedgerEntry e;
    e.event = "played";
    e.time = evidence::isoTime(now);
    e.by = reviewer();
    e.file = file;
    e.fromMs = fromMs;
    e.toMs = toMs;
    e.speed = speed;
    return append(e);
}

Status ReviewLedger::marked(const std::string& file, std::int64_t fromMs, std::int64_t toMs,
                            const std::string& verdict, const std::string& note,
                            const LocalDateTime& now) {
    LedgerEntry e;
    e.event = "mark";
    e.time = evidence::isoTime(now);
    e.by = reviewer();
    e.file = file;
    e.fromMs = fromMs;
    e.toMs = toMs;
    e.verdict = verdict;
    e.note = note;
    return append(e);
}

Spans ReviewLedger::heard(const std::string& file) const {
    Spans s;
    for (const LedgerEntry& e : entries_)
        if (e.event == "played" && e.file == file)
            s.emplace_back(e.fromMs, e.toMs);
    return joinSpans(std::move(s));
}

std::vector<LedgerEntry> ReviewLedger::marks() const {
    std::map<std::tuple<std::string, std::int64_t, std::int64_t>, LedgerEntry> latest;
    for (const LedgerEntry& e : entries_)
        if (e.event == "mark")
            latest[{e.file, e.fromMs, e.toMs}] = e;
    std::vector<LedgerEntry> out;
    for (auto& [k, e] : latest)
        out.push_back(e);
    return out;
}

} // namespace kestle::review
