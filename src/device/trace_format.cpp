// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/trace_format.h"

#include "support/textfile.h"

namespace kestle::device {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

// One line, split into words after its comment was cut off.
Result<TraceEntry> parseLine(const std::vector<std::string_view>& w) {
    if (w[0].size() != 1 || !isTraceRequest(w[0][0]))
        return Error{"request must be one character, found \"" + std::string(w[0]) + "\""};
    if (w.size() != 9)
        return Error{"expected 8 answer bytes, found " + std::to_string(w.size() - 1)};
    TraceEntry e;
    e.request = w[0][0];
    for (std::size_t i = 0; i < 8; ++i) {
        std::string_view h = w[i + 1];
        int hi = h.size() == 2 ? hexDigit(h[0]) : -1;
        int lo = h.size() == 2 ? hexDigit(h[1]) : -1;
        if (hi < 0 || lo < 0)
            return Error{"answer byte " + std::to_string(i + 1) + " is not two hex digits: \"" +
                         std::string(h) + "\""};
        e.answer[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return e;
}

} // namespace

bool isTraceRequest(char c) {
    return c > ' ' && c < 0x7F && c != '#';
}

Status TraceParser::line(std::string_view line) {
    ++lineNo_;
    if (auto hash = line.find('#'); hash != std::string_view::npos)
        line = line.substr(0, hash);
    auto w = words(line);
    if (w.empty())
        return {};
    auto entry = parseLine(w);
    if (!entry)
        return Error{"line " + std::to_string(lineNo_) + ": " + entry.error()};
    trace_.push_back(*entry);
    return {};
}

Result<Trace> parseTrace(std::string_view text) {
    TraceParser parser;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        if (Status s = parser.line(text.substr(pos, end - pos)); !s)
            return Error{s.error()};
        pos = end + 1;
    }
    return parser.take();
}

Result<Trace> loadTrace(const std::filesystem::path& path) {
    // Only a regular file: a FIFO or a device as the trace would block the
    // start or never end.
    auto text = readFileBytes(path, kMaxTraceBytes);
    if (!text)
        return Error{"cannot read trace: " + text.error()};
    auto trace = parseTrace(*text);
    if (!trace)
        return Error{"trace " + path.string() + ", " + trace.error()};
    return trace;
}

std::string formatTraceLine(const TraceEntry& e) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line(1, e.request);
    for (std::uint8_t b : e.answer) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0x0F];
    }
    return line;
}

} // namespace kestle::device
