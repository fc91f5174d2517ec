#include "evidence/trace_gz.h"

#include "support/textfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
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
    (void)close();
    path_ = p;
    // Read and write: a folder removed under it leaves the trace readable.
    fd_ = ::open(p.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    // The fastest level: a constant session writes tens of lines a second,
    // and level 6 cost a fifth of the program's CPU for little gain.
    gz_ = fd_ >= 0 ? gzdopen(fd_, "wb1") : nullptr;
    if (!gz_) {
        const int e = errno;
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        return Error{"Cannot write " + p.string() + ": " + std::strerror(e)};
    }
    flushedAt_ = nowMs_();
    if (memory_) {
        const std::string kept = std::move(*memory_);
        memory_.reset();
        if (!kept.empty() && xsputn(kept.data(), static_cast<std::streamsize>(kept.size())) == 0)
            return Error{"Cannot write " + p.string()};
        flush();
    }
    return {};
}

Status GzTrace::keepInMemory(std::uint64_t limit) {
    if (memory_)
        return {};
    memoryLimit_ = limit;
    memory_ = std::string();
    if (!gz_)
        return {};
    // Everything written reaches the file, whose name is gone; it is read
    // back through the open file.
    gzflush(asGz(gz_), Z_SYNC_FLUSH);
    auto kept = readGzipText("/proc/self/fd/" + std::to_string(fd_));
    gzclose(asGz(gz_));
    gz_ = nullptr;
    fd_ = -1;
    if (!kept)
        return Error{"Cannot read back " + path_.string() + ": " + kept.error()};
    if (kept->text.size() > limit)
        kept->text.resize(limit);
    *memory_ = std::move(kept->text);
    return {};
}

GzTrace::int_type GzTrace::overflow(int_type c) {
    if (c == traits_type::eof())
        return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize GzTrace::xsputn(const char* s, std::streamsize n) {
    if (memory_) {
        if (memory_->size() + static_cast<std::size_t>(n) <= memoryLimit_)
            memory_->append(s, static_cast<std::size_t>(n));
        return n;
    }
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
    fd_ = -1;
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
