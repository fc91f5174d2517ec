// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/recording_link.h"

#include "device/link_factory.h"
#include "device/trace_format.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>

namespace kestle::device {

RecordingLink::RecordingLink(std::unique_ptr<HidLink> inner, std::ostream& sink)
    : inner_(std::move(inner)), sink_(&sink) {}

RecordingLink::RecordingLink(std::unique_ptr<HidLink> inner, std::unique_ptr<std::ostream> owned)
    : inner_(std::move(inner)), owned_(std::move(owned)), sink_(owned_.get()) {}

RecordingLink::~RecordingLink() = default;

Result<std::unique_ptr<RecordingLink>> RecordingLink::open(std::unique_ptr<HidLink> inner,
                                                           const std::filesystem::path& path) {
    auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!*file)
        return Error{"cannot write trace " + path.string() + ": " + std::strerror(errno)};
    *file << "# Kestle trace: request, then the 8 answer bytes in hex\n" << std::flush;
    return std::unique_ptr<RecordingLink>(new RecordingLink(std::move(inner), std::move(file)));
}

Pluggable* RecordingLink::pluggable() {
    return asPluggable(*inner_);
}

Status RecordingLink::writeEx(int vendor, int product, const Report& out) {
    Status s = inner_->writeEx(vendor, product, out);
    if (s)
        request_ = static_cast<char>(out[1]);
    return s;
}

bool RecordingLink::read(DeviceHandle h, Report& in) {
    if (!inner_->read(h, in))
        return false;
    if (request_ != 0)
        record(in);
    return true;
}

void RecordingLink::record(const Report& in) {
    TraceEntry e;
    std::copy(in.begin() + 1, in.end(), e.answer.begin());
    std::string line;
    if (isTraceRequest(request_)) {
        e.request = request_;
        line = formatTraceLine(e);
    } else {
        // Cannot start a trace line; kept for the reader as a comment.
        e.request = '?';
        char code[32];
        std::snprintf(code, sizeof code, "# request 0x%02X: ",
                      static_cast<unsigned>(static_cast<unsigned char>(request_)));
        line = code + formatTraceLine(e).substr(2);
    }
    if (now_)
        line += " # t=" + std::to_string(now_());
    *sink_ << line << '\n' << std::flush;
    if (!*sink_ && status_)
        status_ = Error{"writing the trace failed"};
}

} // namespace kestle::device
