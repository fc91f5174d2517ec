// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/sound_cache.h"

#include "review/bag_sound.h"
#include "support/textfile.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace kestle::review {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "KSTLSND1";
constexpr std::size_t kHeaderBytes = 8 + 4 + 4 + 8 + 8 + 4 + 4 + 8;
// An 8-hour recording's analysis is about 16 MB.
constexpr std::uint64_t kMaxCacheBytes = 1ull << 30;

void put(std::string& s, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}
std::uint64_t get(std::string_view s, std::size_t& at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint64_t(std::uint8_t(s[at + std::size_t(i)])) << (8 * i);
    at += std::size_t(bytes);
    return v;
}

} // namespace

fs::path soundCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && *xdg == '/')
        return fs::path(xdg) / "kestle";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".cache" / "kestle";
}

fs::path soundCacheFile(const fs::path& folder, const std::string& sha256) {
    return folder / (sha256 + ".sound1");
}

std::string encodeAnalysis(const SoundAnalysis& a) {
    std::string s(kMagic);
    put(s, std::uint64_t(a.rate), 4);
    put(s, std::uint64_t(a.frameSamples), 4);
    put(s, a.samples, 8);
    put(s, a.level.size(), 8);
    put(s, kSpectrumRows, 4);
    put(s, std::uint64_t(a.overview.columnsPerSecond), 4);
    put(s, a.overview.columns(), 8);
    s.reserve(s.size() + a.level.size() * 3 + a.overview.cells.size());
    for (std::int16_t l : a.level)
        put(s, std::uint16_t(l), 2);
    s.append(reinterpret_cast<const char*>(a.voice.data()), a.voice.size());
    s.append(reinterpret_cast<const char*>(a.overview.cells.data()), a.overview.cells.size());
    return s;
}

Result<SoundAnalysis> decodeAnalysis(std::string_view s) {
    if (s.size() < kHeaderBytes || s.substr(0, 8) != kMagic)
        return Error{"not a sound analysis"};
    std::size_t at = 8;
    SoundAnalysis a;
    a.rate = int(get(s, at, 4));
    a.frameSamples = int(get(s, at, 4));
    a.samples = get(s, at, 8);
    const std::uint64_t frames = get(s, at, 8);
    const std::uint64_t rows = get(s, at, 4);
    a.overview.columnsPerSecond = int(get(s, at, 4));
    const std::uint64_t columns = get(s, at, 8);
    const bool agree =
        a.rate >= 1000 && a.rate <= 384000 && a.frameSamples == a.rate / 100 &&
        frames == a.samples / std::uint64_t(a.frameSamples) && rows == kSpectrumRows &&
        a.overview.columnsPerSecond == kOverviewColumnsPerSecond &&
        columns == (a.samples * kOverviewColumnsPerSecond + std::uint64_t(a.rate) - 1) /
                       std::uint64_t(a.rate) &&
        s.size() == kHeaderBytes + frames * 3 + columns * rows;
    if (!agree)
        return Error{"a sound analysis whose sizes do not agree"};
    a.level.resize(frames);
    for (auto& l : a.level)
        l = std::int16_t(std::uint16_t(get(s, at, 2)));
    a.voice.assign(s.begin() + std::ptrdiff_t(at), s.begin() + std::ptrdiff_t(at + frames));
    at += frames;
    a.overview.cells.assign(s.begin() + std::ptrdiff_t(at), s.end());
    return a;
}

Result<SoundAnalysis> loadCachedAnalysis(const fs::path& folder, const std::string& sha256) {
    auto bytes = readFileBytes(soundCacheFile(folder, sha256), kMaxCacheBytes);
    if (!bytes)
        return Error{bytes.error()};
    return decodeAnalysis(*bytes);
}

Status saveCachedAnalysis(const fs::path& folder, const std::string& sha256,
                          const SoundAnalysis& a) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path target = soundCacheFile(folder, sha256);
    const fs::path temp = target.string() + ".tmp" + std::to_string(::getpid()) + "-" +
                          std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        const std::string bytes = encodeAnalysis(a);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out.flush()) {
            fs::remove(temp, ec);
            return Error{"the sound cache " + target.string() + " cannot be written"};
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return Error{"the sound cache " + target.string() + " cannot be written: " + ec.message()};
    }
    return {};
}

Result<SoundAnalysis> recordingAnalysis(const fs::path& bag, const std::string& file,
                                        const std::string& sha256, const fs::path& cacheFolder,
                                        const std::atomic<bool>* stop,
                                        const std::function<void(double)>& progress,
                                        bool* fromCache) {
    // A digest that is not one names no cache file.
    const bool usable =
        sha256.size() == 64 && sha256.find_first_not_of("0123456789abcdef") == std::string::npos;
    auto source = openBagSound(bag, file);
    if (!source)
        return Error{source.error()};
    // The file as it is now must fit what was cached of it: a file changed
    // behind its manifest's digest (which verification tells) is analysed
    // anew when its length or rate no longer fit.
    if (usable)
        if (auto cached = loadCachedAnalysis(cacheFolder, sha256);
            cached && cached->rate == (*source)->rate() && cached->samples == (*source)->frames()) {
            if (fromCache)
                *fromCache = true;
            return cached;
        }
    if (fromCache)
        *fromCache = false;
    auto a = analyseSound(**source, stop, progress);
    if (a && usable)
        (void)saveCachedAnalysis(cacheFolder, sha256, *a);
    return a;
}

std::string manifestDigest(const SessionModel& m, const std::string& file) {
    for (const FileEntry& f : m.files)
        if (!f.tag && f.path == file)
            return f.sha256;
    return {};
}

} // namespace kestle::review
