#include "evidence/trace_gz.h"

#include "support/textfile.h"

#include <cerrno>
#include <cstring>
#include <zlib.h>

namespace kestle::evidence {

namespace {
gzFile asGz(void* p) {
    return static_cast<gzFile>(p);
}
} // namespace

GzTrace::GzTrace(std::function<long long()> nowMs) : nowMs_(std::move(nowMs)), stream_(this) {}

GzTrace::~GzTrace() {
    close();
}

Status GzTrace::open(const std::filesystem::path& p) {
    path_ = p;
    // The fastest level: a constant session writes tens of lines a second,
    // and level 6 cost a fifth of the program's CPU for little gain.
    gz_ = gzopen(p.c_str(), "wb1");
    if (!gz_)
        return Error{"Cannot write " + p.string() + ": " + std::strerror(errno)};
    flushedAt_ = nowMs_();
    return {};
}

GzTrace::int_type GzTrace::overflow(int_type c) {
    if (c == traits_type::eof())
        return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize GzTrace::xsputn(const char* s, std::streamsize n) {
    if (!gz_)
        return n; // dropped: the trace is closed or could not be made
    if (gzwrite(asGz(gz_), s, static_cast<unsigned>(n)) != static_cast<int>(n))
        return 0;
    if (!pending_) {
        pending_ = true;
        if (onPending)
            onPending();
    }
    return n;
}

int GzTrace::sync() {
    // The recording link flushes every line; only once a second reaches the
    // file, which keeps the compression worth having.
    flushIfDue();
    return 0;
}

void GzTrace::flushIfDue() {
    if (pending_ && nowMs_() - flushedAt_ >= 1000)
        flush();
}

void GzTrace::flush() {
    if (gz_)
        gzflush(asGz(gz_), Z_SYNC_FLUSH);
    pending_ = false;
    flushedAt_ = nowMs_();
}

Status GzTrace::close() {
    if (!gz_)
        return {};
    const int rc = gzclose(asGz(gz_));
    gz_ = nullptr;
    if (rc != Z_OK)
        return Error{"Cannot write " + path_.string() + ": the compressed trace is incomplete"};
    return {};
}

Result<GzText> readGzipText(const std::filesystem::path& p) {
    gzFile in = gzopen(p.c_str(), "rb");
    if (!in)
        return Error{"Cannot read " + p.string() + ": " + std::strerror(errno)};
    GzText r;
    char buf[1 << 16];
    int n = 0;
    while ((n = gzread(in, buf, sizeof buf)) > 0)
        r.text.append(buf, static_cast<std::size_t>(n));
    int err = Z_OK;
    const char* why = gzerror(in, &err);
    r.whole = n == 0 && err == Z_OK;
    if (!r.whole)
        r.why = why ? why : "unreadable";
    gzclose(in);
    return r;
}

Result<bool> repairGzip(const std::filesystem::path& p) {
    auto read = readGzipText(p);
    if (!read)
        return Error{read.error()};
    if (read->whole)
        return false;
    const std::string& text = read->text;
    // Rewritten in full beside it, then renamed over it.
    const std::filesystem::path tmp = p.string() + ".repair";
    gzFile out = gzopen(tmp.c_str(), "wb6");
    if (!out)
        return Error{"Cannot write " + tmp.string() + ": " + std::strerror(errno)};
    const bool ok = text.empty() || gzwrite(out, text.data(), static_cast<unsigned>(text.size())) ==
                                        static_cast<int>(text.size());
    if (gzclose(out) != Z_OK || !ok) {
        std::filesystem::remove(tmp);
        return Error{"Cannot write " + tmp.string()};
    }
    std::error_code ec;
    std::filesystem::rename(tmp, p, ec);
    if (ec)
        return Error{"Cannot replace " + p.string() + ": " + ec.message()};
    return true;
}

} // namespace kestle::evidence
