// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/phoneme_table.h"

namespace kestle::ecm {

// One round of the phoneme table, in list-box order.
const std::vector<std::string>& phonemeTable() {
    // clang-format off
    static const std::vector<std::string> entries = {
        /*    0 */ " ", "ca", "hi", "lt", "ps", "tw", ",", "dq", "ih", "mo",
        /*   10 */ "sh", "ye", "ai", "eu", "ji", "o", "t", ".", "b", "gh",
        /*   20 */ "ku", "pe", "tp", " ", "cu", "ia", "ma", "ra", "vo", "aa",
        /*   30 */ "e", "io", "nd", "sr", "z", "as", "fi", "ka", "om", "te",
        /*   40 */ " .", "bu", "h", "lm", "po", "tu", " ", "de", "if", "mm",
        /*   50 */ "sa", "x", "af", "ei", "j", "no", "su", "zu", "ax", "g",
        /*   60 */ "kn", "ow", "tl", " ", "ch", "hu", "ly", "py", "v", ".",
        /*   70 */ "du", "im", "my", "sl", "yo", "am", "f", "ju", "od", "ta",
        /*   80 */ "?", "bb", "go", "la", "pk", "tt", " ", "d", "id", "me",
        /*   90 */ "re", "w", "ac", "ed", "it", "ni", "st", "ze", "at", "fr",
        /*  100 */ "ki", "oo", "th", "  ", "c", "he", "lt", "pr", "tw", "!",
        /*  110 */ "do", "ig", "mo", "se", "ya", "ah", "es", "je", "ny", "sy",
        /*  120 */ "!", "az", "ge", "ko", "pa", "to", " ", "co", "i", "m",
        /*  130 */ "r", "ve", "a", "dy", "ing", "na", "so", "yu", "ao", "fe",
        /*  140 */ "k", "oi", "tch", ". ", "bi", "gy", "ll", "pn", "tu", " ",
        /*  150 */ "dd", "ie", "mi", "s", "wa", "ae", "ef", "iz", "nn", "st",
        /*  160 */ "zo", "av", "fy", "kn", "ov", "ti", " ", "ce", "ho", "lu",
        /*  170 */ "pu", "u", ",", "dr", "im", "mu", "sk", "yi", "aj", "ey",
        /*  180 */ "jo", "oa", "ta", ",", "ba", "gi", "l", "pi", "tr", " ",
        /*  190 */ "cy", "ic", "ma", "re", "vu", "ab", "ec", "is", "ne", "ss",
        /*  200 */ "za", "at", "fo", "ke", "on", "te", " ", "by", "ha", "lo",
        /*  210 */ "pp", "tw", "!", "di", "if", "mn", "se", "y", "ag", "eo",
        /*  220 */ "ja", "ns", "su", "zz", "ay", "ga", "kn", "p", "to", " ",
        /*  230 */ "ci", "hy", "m", "q", "va", "?", "dw", "in", "n", "so",
        /*  240 */ "yr", "an", "fa", "jy", "oe", "ta", " ", "be", "gth", "le",
        /*  250 */ "pm", "tt", " ", "da", "id", "me", "ro", "wa", "ad", "ee",
        /*  260 */ "iu", "nk", "st", "zi", "au", "fu", "ki", "ou", "Th", " ",
    };
    // clang-format on
    return entries;
}

void loadphone(std::vector<std::string>& list) {
    // Positions from the readings run into the two thousands, so the table is
    // repeated to cover them; whole rounds keep position p at entry p mod 270.
    const auto& table = phonemeTable();
    while (list.size() < 2048) {
        list.insert(list.end(), table.begin(), table.end());
    }
}

} // namespace kestle::ecm
