// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/bag_sound.h"

#include "evidence/digest.h"

#include <algorithm>

namespace kestle::review {

Result<std::string> BagFile::read(std::uint64_t offset, std::size_t bytes) const {
    std::string out(bytes, '\0');
    std::size_t got = 0;
    while (got < bytes) {
        auto n = file_->readAt(offset + got, out.data() + got, bytes - got);
        if (!n)
            return Error{n.error()};
        if (*n == 0)
            break;
        got += *n;
    }
    out.resize(got);
    return out;
}

Result<std::string> BagFile::sha256() const {
    evidence::Digest d(evidence::DigestAlgorithm::Sha256);
    std::string chunk;
    for (std::uint64_t at = 0; at < size();) {
        auto bytes = read(at, std::size_t(std::min<std::uint64_t>(1 << 20, size() - at)));
        if (!bytes)
            return Error{bytes.error()};
        if (bytes->empty())
            return Error{name() + ": changed while it was read (it shrank)"};
        d.update(*bytes);
        at += bytes->size();
    }
    return d.hex();
}

Result<BagFile> openBagFile(const std::filesystem::path& bag, const std::string& relative,
                            std::uint64_t maxBytes) {
    auto reader = evidence::BagReader::open(bag);
    if (!reader)
        return Error{reader.error()};
    auto file = reader->openFile(relative);
    if (!file)
        return Error{file.error()};
    if (file->size() > maxBytes)
        return Error{file->path() + ": larger than " + evidence::bytesText(maxBytes)};
    return BagFile(std::move(*file));
}

Result<std::size_t> WavFileSource::read(std::uint64_t at, std::span<float> out) {
    if (at >= frames())
        return std::size_t{0};
    const std::size_t n = std::size_t(std::min<std::uint64_t>(out.size(), frames() - at));
    const std::uint64_t fb = std::uint64_t(layout_.frameBytes());
    auto bytes = file_.read(layout_.dataOffset + at * fb, std::size_t(n * fb));
    if (!bytes)
        return Error{bytes.error()};
    const std::size_t got = bytes->size() / std::size_t(fb);
    decodePcm(layout_, *bytes, out.first(got));
    return got;
}

Result<std::unique_ptr<WavFileSource>> openBagSound(const std::filesystem::path& bag,
                                                    const std::string& relative) {
    auto file = openBagFile(bag, relative);
    if (!file)
        return Error{file.error()};
    auto head = file->read(0, std::size_t(std::min<std::uint64_t>(file->size(), 65536)));
    if (!head)
        return Error{head.error()};
    auto layout = parseWavLayout(*head, file->size());
    if (!layout)
        return Error{relative + ": " + layout.error()};
    return std::make_unique<WavFileSource>(std::move(*file), *layout);
}

} // namespace kestle::review
