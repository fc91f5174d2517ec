// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text tag files of a bag as RFC 8493 section 2 has them: the bag
// declaration (bagit.txt, exactly "BagIt-Version: M.N" and
// "Tag-File-Character-Encoding: ENCODING", UTF-8 without a byte-order mark),
// the tag files' encoding (any that iconv knows; UTF-8 recommended), and
// bag-info.txt ("Label: value" lines, long values continued on lines that
// start with a blank; before 1.0 blanks around the colon are allowed).
// Lines end in LF, CR or CR LF. Problems and warnings name the file and the
// line. Pure functions; any thread.
#include "evidence/bag_names.h"
#include "evidence/bagit.h"
#include "support/result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::evidence {

struct Declaration {
    std::string version;             // as given ("1.0", "0.97", ".97"); empty when none is
    std::optional<BagVersion> known; // the versions this program checks
    bool wellFormed = false;         // version of the form M.N
    std::string encoding;            // "UTF-8"; empty when none is given
    std::vector<std::string> problems, warnings;
};
Declaration parseDeclaration(std::string_view bytes);

// Splits text at LF, CR or CR LF; a last line end does not start an empty
// last line. `endsWithLineEnd` tells whether the last line had one.
std::vector<std::string_view> tagLines(std::string_view text, bool* endsWithLineEnd = nullptr);

bool isUtf8Encoding(std::string_view encoding);
// True when the system can read text in `encoding`.
bool knownEncoding(const std::string& encoding);
// A tag file's bytes as UTF-8 (a byte-order mark the encoding needs is
// taken off); an error when they are not text in `encoding`.
Result<std::string> tagTextAsUtf8(std::string_view bytes, const std::string& encoding);

struct BagInfoCheck {
    BagInfo info; // labels and values in order, continuations joined with a blank
    std::vector<std::string> problems, warnings;
};
BagInfoCheck checkBagInfo(std::string_view utf8, BagVersion v);

// The values of `label` (reserved labels are case-insensitive).
std::vector<std::string> infoValues(const BagInfo& info, std::string_view label);

} // namespace kestle::evidence
