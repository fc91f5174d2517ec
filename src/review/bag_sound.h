// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one place the listening features read a bag's files, through the
// guarded reader (evidence/bag_reader.h): a file below the bag's folder,
// opened component by component without following a symbolic link, only
// when it is a regular file and not larger than a bound. Reads are
// positioned, so one file serves the analysis, the detail of a zoom and a
// moment's cut without holding the file in memory.
// Any thread; one BagFile per thread.
#include "evidence/bag_reader.h"
#include "review/sound_source.h"
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace kestle::review {

// A night's recording stays far below this; a larger file is refused.
inline constexpr std::uint64_t kMaxSoundFileBytes = 64ull << 30;

class BagFile {
  public:
    explicit BagFile(evidence::BagFile file)
        : file_(std::make_unique<evidence::BagFile>(std::move(file))) {}

    std::uint64_t size() const { return file_->size(); }
    const std::string& name() const { return file_->path(); }
    // Exactly `bytes` bytes from `offset` (fewer only past the end).
    Result<std::string> read(std::uint64_t offset, std::size_t bytes) const;
    // The SHA-256 of the whole file, read in chunks.
    Result<std::string> sha256() const;

  private:
    std::unique_ptr<evidence::BagFile> file_;
};

// `relative` as a manifest names it ("data/captures/x.wav"); ".." and
// absolute paths are refused.
Result<BagFile> openBagFile(const std::filesystem::path& bag, const std::string& relative,
                            std::uint64_t maxBytes = kMaxSoundFileBytes);

// A WAV recording of the bag as a sound source.
class WavFileSource final : public SoundSource {
  public:
    WavFileSource(BagFile file, WavLayout layout) : file_(std::move(file)), layout_(layout) {}
    int rate() const override { return layout_.rate; }
    std::uint64_t frames() const override { return layout_.frames(); }
    Result<std::size_t> read(std::uint64_t at, std::span<float> out) override;
    const WavLayout& layout() const { return layout_; }
    const BagFile& file() const { return file_; }

  private:
    BagFile file_;
    WavLayout layout_;
};

Result<std::unique_ptr<WavFileSource>> openBagSound(const std::filesystem::path& bag,
                                                    const std::string& relative);

} // namespace kestle::review
