// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names of a bag's files as its manifests and fetch.txt list them, and
// the rules they must keep: the lines that list them ("checksum name",
// "url length name"), their encoding (BagIt 1.0 writes CR, LF and "%" as
// %0D, %0A and %25; 0.97 only CR and LF), and the paths themselves (inside
// the bag: no absolute path, no "~", no "..", no empty or "." component;
// payload under data/, tag files outside it). Unicode normalisation (NFC)
// and case folding come from GLib. Pure functions; any thread.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::evidence {

enum class BagVersion { V1_0, V0_97 };
const char* versionText(BagVersion v); // "1.0", "0.97"

// What lists a name: a payload manifest, a tag manifest or fetch.txt.
enum class ListKind { Payload, Tag, Fetch };

// A manifest line split: the checksum, the name as written (encoded), and
// whether md5sum's binary-mode "*" stood before the name (cut off).
struct ManifestLineParts {
    std::string_view checksum, name;
    bool md5sumStar = false;
};
// nullopt when the line is not "checksum<blanks>name".
std::optional<ManifestLineParts> splitManifestLine(std::string_view line);

struct FetchLineParts {
    std::string_view url, length, name;
};
// nullopt when the line is not "url<blanks>length<blanks>name".
std::optional<FetchLineParts> splitFetchLine(std::string_view line);

// True for hex digits only (either case), at least one.
bool isHex(std::string_view s);
// True for "scheme:..." (an absolute URI, RFC 3986 section 4.3).
bool isAbsoluteUri(std::string_view s);

// A listed name decoded and checked. `path` is what to look for in the bag
// (a leading "./" cut off); `problems` make the bag invalid, `warnings`
// do not. `usable` is false when the path must not be looked up at all.
struct NameCheck {
    std::string path;
    std::vector<std::string> problems, warnings;
    bool usable = true;
};
// `raw` is the name as the list writes it, already read as UTF-8.
NameCheck checkListedName(std::string_view raw, BagVersion v, ListKind kind);

// The name decoded as `v` encodes names; `strayPercent` is set when a "%"
// that must have been written %25 (1.0) stands alone.
std::string decodeListedName(std::string_view raw, BagVersion v, bool* strayPercent = nullptr);

bool isUtf8(std::string_view text);
// NFC of UTF-8 text; nullopt when it is not valid UTF-8.
std::optional<std::string> nfcOf(std::string_view utf8);
// Case-folded NFC, for names that differ only in case.
std::optional<std::string> caseKeyOf(std::string_view utf8);
// Files an operating system leaves in folders (.DS_Store, Thumbs.db,
// desktop.ini, AppleDouble "._" files), by the last component.
bool isSystemFile(std::string_view path);

} // namespace kestle::evidence
