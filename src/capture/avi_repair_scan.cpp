// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/avi_repair_scan.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kestle::capture {

bool MemoryAviSource::read(std::uint64_t at, void* out, std::size_t n) {
    if (at > bytes_.size() || n > bytes_.size() - at)
        return false;
    std::memcpy(out, bytes_.data() + at, n);
    return true;
}

bool FileAviSource::read(std::uint64_t at, void* out, std::size_t n) {
    constexpr std::size_t kPage = 4096;
    if (at > size_ || n > size_ - at)
        return false;
    if (n > kPage)
        return readFile(at, static_cast<char*>(out), n);
    if (at < pageAt_ || at + n > pageAt_ + page_.size()) {
        page_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kPage, size_ - at)));
        pageAt_ = at;
        if (!readFile(at, page_.data(), page_.size())) {
            page_.clear();
            return false;
        }
    }
    std::memcpy(out, page_.data() + (at - pageAt_), n);
    return true;
}

bool FileAviSource::readFile(std::uint64_t at, char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got, n -= static_cast<std::size_t>(got), at += static_cast<std::uint64_t>(got);
    }
    return true;
}

namespace {

constexpr std::size_t kMaxHeaderChunks = 256;
constexpr std::size_t kMaxStreams = 16;
constexpr std::uint32_t kMaxAfterIndex = 64 * 1024;
constexpr std::uint16_t kKeyFrame = 0x10;
constexpr std::uint16_t kNoTime = 0x100;

std::uint32_t le32(const unsigned char* b) {
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

struct Head {
    std::string id;
    std::uint32_t size = 0;
    std::string type;                // of a LIST or RIFF, or the first data bytes of a chunk
    std::uint64_t body = 0, end = 0; // end with the pad byte; may lie past the file
};

// The chunk header at `at` and up to four bytes after it; nullopt when not
// even the header is in the file.
std::optional<Head> readHead(AviSource& src, std::uint64_t at) {
    std::array<unsigned char, 12> b{};
    if (at > src.size() || src.size() - at < 8)
        return std::nullopt;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(12, src.size() - at));
    if (!src.read(at, b.data(), n))
        return std::nullopt;
    Head h;
    h.id.assign(reinterpret_cast<const char*>(b.data()), 4);
    h.size = le32(b.data() + 4);
    h.type.assign(reinterpret_cast<const char*>(b.data()) + 8, n - 8);
    h.body = at + 8;
    h.end = h.body + h.size + (h.size & 1);
    return h;
}

// Four printable ASCII characters: what every chunk id is.
bool plausibleId(const std::string& id) {
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

Error damaged(const char* what) {
    return Error{std::string("its header is cut off or damaged (") + what + ")"};
}

// Reads a header chunk's body, at most `want` bytes of it.
std::string body(AviSource& src, const Head& h, std::size_t want) {
    std::string s(std::min<std::size_t>(want, h.size), '\0');
    if (!src.read(h.body, s.data(), s.size()))
        s.clear();
    return s;
}

std::uint32_t field(const std::string& b, std::size_t at) {
    return at + 4 <= b.size() ? le32(reinterpret_cast<const unsigned char*>(b.data()) + at) : 0;
}

// Calls `each` for every chunk in [begin, end); false when one does not fit.
template <typename Fn>
bool forEachChunk(AviSource& src, std::uint64_t begin, std::uint64_t end, Fn each) {
    std::size_t count = 0;
    for (std::uint64_t at = begin; at + 8 <= end;) {
        const auto h = readHead(src, at);
        if (!h || h->body + h->size > end || ++count > kMaxHeaderChunks)
            return false;
        if (!each(*h))
            return false;
        at = h->end;
    }
    return true;
}

bool readStreamList(AviSource& src, const Head& strl, AviLayout& a) {
    if (a.streams.size() >= kMaxStreams)
        return false;
    AviStream s;
    bool haveStrh = false;
    const bool fits = forEachChunk(src, strl.body + 4, strl.body + strl.size, [&](const Head& h) {
        if (h.id == "strh") {
            const std::string b = body(src, h, 48);
            if (b.size() < 36)
                return false;
            s.type = b.substr(0, 4);
            s.handler = b.substr(4, 4);
            s.lengthAt = h.body + 32;
            s.length = field(b, 32);
            s.sampleSize = field(b, 44);
            haveStrh = true;
        } else if (h.id == "strf" && s.type == "vids") {
            const std::string b = body(src, h, 20);
            if (b.size() == 20 && s.handler == std::string(4, '\0'))
                s.handler = b.substr(16, 4);
        }
        return true;
    });
    if (!fits || !haveStrh)
        return false;
    a.streams.push_back(std::move(s));
    return true;
}

Status readHeaderList(AviSource& src, const Head& hdrl, AviLayout& a) {
    bool haveAvih = false;
    const bool fits = forEachChunk(src, hdrl.body + 4, hdrl.body + hdrl.size, [&](const Head& h) {
        if (h.id == "avih") {
            const std::string b = body(src, h, 40);
            if (b.size() < 40)
                return false;
            a.avihAt = h.body;
            a.avihFlags = field(b, 12);
            a.avihTotalFrames = field(b, 16);
            haveAvih = true;
        } else if (h.id == "LIST" && h.type == "strl") {
            return readStreamList(src, h, a);
        } else if (h.id == "LIST" && h.type == "odml") {
            return forEachChunk(src, h.body + 4, h.body + h.size, [&](const Head& d) {
                if (d.id == "dmlh" && d.size >= 4) {
                    a.dmlhAt = d.body;
                    a.dmlhTotalFrames = field(body(src, d, 4), 0);
                }
                return true;
            });
        }
        return true;
    });
    if (!fits)
        return damaged("hdrl");
    if (!haveAvih)
        return damaged("no avih");
    if (a.streams.empty())
        return damaged("no stream header");
    return {};
}

bool intraOnly(const std::string& handler) {
    static const char* const kIntra[] = {"MJPG", "mjpg", "JPEG", "jpeg", "I420", "IYUV", "YV12",
                                         "YUY2", "YUYV", "UYVY", "NV12", "Y800", "GREY", "MPNG",
                                         "png ", "PNG ", "DIB ", "RGB ", "RAW "};
    return handler == std::string(4, '\0') ||
           std::any_of(std::begin(kIntra), std::end(kIntra),
                       [&](const char* c) { return handler == c; });
}

// The idx1 entry for the chunk `h` if it is a stream's data ("00db",
// "01wb", ...), else nullopt.
std::optional<AviChunk> streamChunk(const Head& h, std::uint64_t at, const AviLayout& a) {
    const std::string& id = h.id;
    if (id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9')
        return std::nullopt;
    const unsigned n = unsigned(id[0] - '0') * 10 + unsigned(id[1] - '0');
    const std::string type = id.substr(2);
    if (n >= a.streams.size() ||
        (type != "dc" && type != "db" && type != "wb" && type != "pc" && type != "tx"))
        return std::nullopt;
    const AviStream& s = a.streams[n];
    AviChunk c;
    c.at = at;
    c.size = h.size;
    c.stream = static_cast<std::uint8_t>(n);
    c.type[0] = type[0], c.type[1] = type[1];
    const bool video = type == "dc" || type == "db";
    if (type == "pc")
        c.flags = kNoTime;
    else if (!video || intraOnly(s.handler))
        c.flags = kKeyFrame;
    else if (s.handler == "VP80") // a VP8 frame tag's lowest bit is 0 on key frames
        c.flags = h.size > 0 && !h.type.empty() && (h.type[0] & 1) == 0 ? kKeyFrame : 0;
    else // a codec whose key frames are not known here: only its first one
        c.flags = s.chunks == 0 ? kKeyFrame : 0;
    return c;
}

// Walks the chunks after 'movi' to the end of the file, an index, or the
// first bytes that are not a whole chunk.
Status walkFrames(AviSource& src, AviLayout& a, std::stop_token stop) {
    const std::uint64_t size = src.size();
    std::uint64_t at = a.moviAt + 12;
    if (at > size)
        return damaged("movi");
    for (std::size_t step = 0;; ++step) {
        if (step % 4096 == 0 && stop.stop_requested())
            return Error{"stopped"};
        const auto h = at < size ? readHead(src, at) : std::nullopt;
        if (!h || !plausibleId(h->id) || h->body + h->size > size)
            break; // the end of the file, or its tail
        if (h->id == "idx1") {
            a.idx1At = at;
            a.idx1Size = h->size;
            const auto next = readHead(src, h->end);
            a.moreParts = next && next->id == "RIFF";
            if (next && next->id == "JUNK" && next->size <= kMaxAfterIndex &&
                next->body + next->size <= size)
                a.afterIndex = body(src, *next, next->size);
            break;
        }
        if (h->id == "RIFF")
            return Error{"it has more than one RIFF part"};
        if (h->id == "LIST" && h->type == "rec ")
            return Error{"its frames are grouped in 'rec ' lists"};
        if (auto c = streamChunk(*h, at, a)) {
            if (a.chunks.size() >= kMaxIndexedChunks)
                return Error{"it has more than " + std::to_string(kMaxIndexedChunks) + " chunks"};
            AviStream& s = a.streams[c->stream];
            ++s.chunks;
            s.bytes += c->size;
            a.chunks.push_back(*c);
        }
        at = h->end;
        if (at > size) // the file ends just before the pad byte
            break;
    }
    a.chunksEnd = at;
    a.tailAt = a.idx1At ? size : std::min(at, size);
    return {};
}

} // namespace

Result<AviLayout> scanAvi(AviSource& src, std::stop_token stop) {
    AviLayout a;
    a.fileSize = src.size();
    const auto riff = readHead(src, 0);
    if (!riff || riff->id != "RIFF" || riff->type != "AVI ")
        return Error{"not an AVI file"};
    a.riffSize = riff->size;
    bool haveHeader = false;
    std::uint64_t at = 12;
    for (std::size_t count = 0;; ++count) {
        const auto h = readHead(src, at);
        if (!h || count >= kMaxHeaderChunks)
            return damaged("no movi list");
        if (h->id == "LIST" && h->type == "movi") {
            if (!haveHeader)
                return damaged("no hdrl before movi");
            a.moviAt = at;
            a.moviSize = h->size;
            break;
        }
        if (h->body + h->size > a.fileSize)
            return damaged("a chunk before movi runs past the end");
        if (h->id == "LIST" && h->type == "hdrl" && !haveHeader) {
            if (Status s = readHeaderList(src, *h, a); !s)
                return Error{s.error()};
            haveHeader = true;
        }
        at = h->end;
    }
    if (Status s = walkFrames(src, a, stop); !s)
        return Error{s.error()};
    return a;
}

} // namespace kestle::capture
