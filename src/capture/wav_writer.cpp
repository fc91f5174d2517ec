// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/wav_writer.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kestle::capture {

namespace {

void put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(s, static_cast<std::uint16_t>(v >> 16));
}

// The largest data size a RIFF header can state, in whole sample frames.
std::uint32_t statedSize(std::uint64_t data, std::uint16_t blockAlign) {
    const std::uint64_t limit = 0xFFFFFFFFull - (kWavHeaderBytes - 8);
    const std::uint64_t whole = data - data % blockAlign;
    return static_cast<std::uint32_t>(whole < limit ? whole : limit - limit % blockAlign);
}

} // namespace

std::string wavHeader(std::uint32_t rate, std::uint16_t channels, std::uint32_t dataBytes) {
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * 2);
    std::string h = "RIFF";
    put32(h, dataBytes + static_cast<std::uint32_t>(kWavHeaderBytes - 8));
    h += "WAVEfmt ";
    put32(h, 16);
    put16(h, 1); // PCM
    put16(h, channels);
    put32(h, rate);
    put32(h, rate * blockAlign);
    put16(h, blockAlign);
    put16(h, 16);
    h += "data";
    put32(h, dataBytes);
    return h;
}

std::optional<std::int64_t> wavDurationMs(std::string_view h) {
    auto get32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v |= std::uint32_t(static_cast<unsigned char>(h[at + i])) << (8 * i);
        return v;
    };
    if (h.size() < kWavHeaderBytes || !h.starts_with("RIFF") || h.substr(8, 8) != "WAVEfmt " ||
        h.substr(36, 4) != "data")
        return std::nullopt;
    const std::uint32_t byteRate = get32(28);
    if (byteRate == 0)
        return std::nullopt;
    return static_cast<std::int64_t>(std::uint64_t(get32(40)) * 1000 / byteRate);
}

WavWriter::WavWriter(int fd, std::string path, std::uint32_t rate, std::uint16_t channels)
    : fd_(fd), path_(std::move(path)), rate_(rate), channels_(channels) {}

WavWriter::~WavWriter() {
    (void)finish();
}

std::uint64_t WavWriter::dataBytes() const {
    std::lock_guard l(m_);
    return data_;
}

double WavWriter::seconds() const {
    return static_cast<double>(dataBytes()) / (static_cast<double>(rate_) * channels_ * 2);
}

Status WavWriter::writeHeader() {
    const std::string h =
        wavHeader(rate_, channels_, statedSize(data_, static_cast<std::uint16_t>(channels_ * 2)));
    if (::pwrite(fd_, h.data(), h.size(), 0) != static_cast<ssize_t>(h.size()))
        return Error{std::strerror(errno)};
    return {};
}

Status WavWriter::begin() {
    std::lock_guard l(m_);
    if (fd_ < 0)
        return Error{"the file is closed"};
    Status s = writeHeader();
    if (s && ::lseek(fd_, static_cast<off_t>(kWavHeaderBytes), SEEK_SET) < 0)
        s = Error{std::strerror(errno)};
    if (!s)
        failure_ = s.error();
    return s;
}

Status WavWriter::append(const void* bytes, std::size_t size) {
    std::lock_guard l(m_);
    if (fd_ < 0)
        return Error{"the file is closed"};
    if (!failure_.empty())
        return Error{failure_};
    const char* p = static_cast<const char*>(bytes);
    std::size_t left = size;
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure_ = n < 0 ? std::strerror(errno) : "nothing could be written";
            break;
        }
        data_ += static_cast<std::uint64_t>(n);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // The header states whole sample frames only, so a cut-off write still
    // leaves a file every reader takes.
    const Status h = writeHeader();
    if (!failure_.empty())
        return Error{failure_};
    if (!h)
        failure_ = h.error();
    return h;
}

Status WavWriter::finish() {
    std::lock_guard l(m_);
    if (fd_ < 0)
        return {};
    Status s = writeHeader();
    if (::fsync(fd_) != 0 && s)
        s = Error{std::strerror(errno)};
    if (::close(fd_) != 0 && s)
        s = Error{std::strerror(errno)};
    fd_ = -1;
    return s;
}

} // namespace kestle::capture
