// SPDX-License-Identifier: GPL-3.0-or-later
// The streams a bag's files are read through: gzip content inflated as it
// is read, and lines of any source (bag_reader.h).
#include "evidence/bag_reader.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace kestle::evidence {

// --- GzipSource ------------------------------------------------------------

struct GzipSource::Stream {
    z_stream z{};
    bool ready = false;
    bool inMember = false;  // input taken since the last member ended
    bool oneEnded = false;  // at least one member ended
    bool inputDone = false; // the compressed file is read to its end
    std::vector<unsigned char> in = std::vector<unsigned char>(1 << 16);
    ~Stream() {
        if (ready)
            inflateEnd(&z);
    }
};

GzipSource::GzipSource(std::unique_ptr<ChunkSource> in, std::string path, std::uint64_t maxInflated,
                       bool partialIsError)
    : in_(std::move(in)), z_(std::make_unique<Stream>()), path_(std::move(path)), max_(maxInflated),
      partialIsError_(partialIsError) {
    // 16 + MAX_WBITS: gzip headers only.
    z_->ready = inflateInit2(&z_->z, 16 + MAX_WBITS) == Z_OK;
}

GzipSource::~GzipSource() = default;

Result<std::size_t> GzipSource::read(char* buf, std::size_t n) {
    if (done_ || n == 0) {
        if (done_ && !whole_ && partialIsError_)
            return Error{path_ + ": " + why_};
        return std::size_t{0};
    }
    if (!z_->ready)
        return Error{path_ + ": cannot be inflated (zlib did not start)"};
    z_stream& z = z_->z;
    auto finish = [this](bool whole, std::string why) -> Result<std::size_t> {
        done_ = true;
        whole_ = whole;
        why_ = std::move(why);
        if (!whole && partialIsError_)
            return Error{path_ + ": " + why_};
        return std::size_t{0};
    };
    while (true) {
        if (z.avail_in == 0 && !z_->inputDone) {
            auto got = in_->read(reinterpret_cast<char*>(z_->in.data()), z_->in.size());
            if (!got)
                return got;
            if (*got == 0)
                z_->inputDone = true;
            z.next_in = z_->in.data();
            z.avail_in = static_cast<uInt>(*got);
        }
        if (z.avail_in == 0 && z_->inputDone) {
            if (z_->inMember)
                return finish(false, "it ends early (its writer was stopped before closing it)");
            if (!z_->oneEnded)
                return finish(false, "it is empty (not a gzip file)");
            return finish(true, "");
        }
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = static_cast<uInt>(std::min<std::size_t>(n, 1u << 30));
        const uInt before = z.avail_in;
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (z.avail_in != before)
            z_->inMember = true;
        const std::size_t produced = std::min<std::size_t>(n, 1u << 30) - z.avail_out;
        if (rc == Z_STREAM_END) {
            // Another member may follow (gzip files may be concatenated).
            z_->oneEnded = true;
            z_->inMember = false;
            inflateReset(&z);
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            return finish(false,
                          std::string("it is damaged (") + (z.msg ? z.msg : "zlib error") + ")");
        }
        if (produced > 0) {
            inflated_ += produced;
            if (inflated_ > max_)
                return Error{path_ + ": larger than " + bytesText(max_) + " inflated"};
            return produced;
        }
    }
}

// --- LineReader ------------------------------------------------------------

LineReader::LineReader(std::unique_ptr<ChunkSource> in, std::string path, std::size_t maxLine,
                       bool crEnds)
    : in_(std::move(in)), path_(std::move(path)), max_(maxLine), crEnds_(crEnds) {}

Status LineReader::fill() {
    if (pos_ > 0) {
        buf_.erase(0, pos_);
        pos_ = 0;
    }
    const std::size_t at = buf_.size();
    buf_.resize(at + (1 << 16));
    auto got = in_->read(buf_.data() + at, 1 << 16);
    if (!got) {
        buf_.resize(at);
        return Error{got.error()};
    }
    buf_.resize(at + *got);
    if (*got == 0)
        eof_ = true;
    return {};
}

Result<bool> LineReader::next(std::string_view& line) {
    std::size_t scanned = pos_;
    while (true) {
        // memchr for the usual LF; both ends searched only in tag files.
        const std::size_t end =
            crEnds_ ? buf_.find_first_of("\r\n", scanned) : buf_.find('\n', scanned);
        if (end != std::string::npos) {
            std::size_t after = end + 1;
            if (buf_[end] == '\r') {
                if (end + 1 == buf_.size() && !eof_) {
                    // CR at the end of what was read: a CR LF may go on.
                    const std::size_t from = end - pos_;
                    if (Status s = fill(); !s)
                        return Error{s.error()};
                    scanned = from;
                    continue;
                }
                if (end + 1 < buf_.size() && buf_[end + 1] == '\n')
                    after = end + 2;
            }
            std::size_t stop = end;
            if (!crEnds_ && stop > pos_ && buf_[stop - 1] == '\r')
                --stop;
            line = std::string_view(buf_).substr(pos_, stop - pos_);
            pos_ = after;
            ++number_;
            noEnd_ = false;
            if (line.size() > max_)
                return Error{path_ + ": " + "line " + std::to_string(number_) + " is longer than " +
                             bytesText(max_)};
            return true;
        }
        if (eof_) {
            if (pos_ >= buf_.size())
                return false;
            line = std::string_view(buf_).substr(pos_);
            pos_ = buf_.size();
            ++number_;
            noEnd_ = true;
            if (line.size() > max_)
                return Error{path_ + ": " + "line " + std::to_string(number_) + " is longer than " +
                             bytesText(max_)};
            return true;
        }
        if (buf_.size() - pos_ > max_ + 2)
            return Error{path_ + ": " + "line " + std::to_string(number_ + 1) + " is longer than " +
                         bytesText(max_)};
        const std::size_t from = buf_.size() - pos_;
        if (Status s = fill(); !s)
            return Error{s.error()};
        scanned = from;
    }
}

} // namespace kestle::evidence
