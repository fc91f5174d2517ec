// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/trace_gz.h"

#include "evidence/bag_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace kestle::evidence {

namespace {
gzFile asGz(void* p) {
    return static_cast<gzFile>(p);
}

// The trace's own open file, read from its start: its name may be gone (the
// folder removed), and a path through /proc would be a link, never followed.
class OpenFileSource : public ChunkSource {
  public:
    explicit OpenFileSource(int fd) : fd_(fd) {}
    Result<std::size_t> read(char* buf, std::size_t n) override {
        while (true) {
            const ssize_t got = ::pread(fd_, buf, n, static_cast<off_t>(offset_));
            if (got >= 0) {
                offset_ += static_cast<std::uint64_t>(got);
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR)
                return Error{std::strerror(errno)};
        }
    }

  private:
    int fd_;
    std::uint64_t offset_ = 0;
};

// Inflates `in` into `sink`, at most `maxInflated` bytes of content.
Result<GzText> inflateFrom(std::unique_ptr<ChunkSource> in, const std::string& name,
                           std::uint64_t maxInflated,
                           const std::function<Status(std::string_view)>& sink) {
    GzipSource gz(std::move(in), name, maxInflated);
    std::vector<char> buf(1 << 16);
    while (true) {
        auto got = gz.read(buf.data(), buf.size());
        if (!got)
            return Error{"Cannot read " + name + ": " + got.error()};
        if (*got == 0)
            break;
        if (Status s = sink(std::string_view(buf.data(), *got)); !s)
            return Error{s.error()};
    }
    GzText r;
    r.whole = gz.whole();
    r.why = gz.why();
    return r;
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
    // The header reaches the file now: a session killed before its first
    // exchange leaves a gzip file cut short (which the seal completes), not
    // an empty file.
    gzflush(asGz(gz_), Z_SYNC_FLUSH);
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
    std::string text;
    auto kept = inflateFrom(
        std::make_unique<OpenFileSource>(fd_), path_.filename().string(), std::uint64_t{1} << 30,
        [&text, limit](std::string_view chunk) {
            text.append(chunk.substr(0, limit - std::min<std::size_t>(limit, text.size())));
            return Status{};
        });
    gzclose(asGz(gz_));
    gz_ = nullptr;
    fd_ = -1;
    if (!kept)
        return Error{"Cannot read back " + path_.string() + ": " + kept.error()};
    *memory_ = std::move(text);
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

namespace {

// Inflates the gzip file `p` into `sink`, as a bag's file is read.
Result<GzText> inflateFile(const std::filesystem::path& p, std::uint64_t maxInflated,
                           const std::function<Status(std::string_view)>& sink) {
    auto folder = BagReader::open(p.parent_path().empty() ? "." : p.parent_path());
    if (!folder)
        return Error{"Cannot read " + p.string() + ": " + folder.error()};
    auto file = folder->openFile(p.filename().string());
    if (!file)
        return Error{"Cannot read " + p.string() + ": " + file.error()};
    return inflateFrom(std::make_unique<BagFile>(std::move(*file)), p.string(), maxInflated, sink);
}

} // namespace

Result<GzText> readGzipText(const std::filesystem::path& p, std::uint64_t maxInflated) {
    std::string text;
    auto r = inflateFile(p, maxInflated, [&text](std::string_view chunk) {
        text += chunk;
        return Status{};
    });
    if (r)
        r->text = std::move(text);
    return r;
}

Result<bool> repairGzip(const std::filesystem::path& p) {
    constexpr std::uint64_t kMax = std::uint64_t{1} << 30;
    // Looked through first: a whole file is left alone.
    auto look = inflateFile(p, kMax, [](std::string_view) { return Status{}; });
    if (!look)
        return Error{look.error()};
    if (look->whole)
        return false;
    if (look->why.starts_with("it is damaged"))
        return Error{"Cannot repair " + p.string() + ": " + look->why + "; it is left as it is"};
    // Rewritten in full beside it, then renamed over it.
    const std::filesystem::path tmp = p.string() + ".repair";
    gzFile out = gzopen(tmp.c_str(), "wb6");
    if (!out)
        return Error{"Cannot write " + tmp.string() + ": " + std::strerror(errno)};
    auto copied = inflateFile(p, kMax, [out](std::string_view chunk) {
        if (gzwrite(out, chunk.data(), static_cast<unsigned>(chunk.size())) !=
            static_cast<int>(chunk.size()))
            return Status{Error{"write failed"}};
        return Status{};
    });
    if (gzclose(out) != Z_OK || !copied) {
        std::filesystem::remove(tmp);
        return Error{"Cannot write " + tmp.string() + (copied ? "" : ": " + copied.error())};
    }
    std::error_code ec;
    std::filesystem::rename(tmp, p, ec);
    if (ec)
        return Error{"Cannot replace " + p.string() + ": " + ec.message()};
    return true;
}

} // namespace kestle::evidence
