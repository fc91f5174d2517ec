// SPDX-License-Identifier: GPL-3.0-or-later
// A bag as anyone may make one, written to a folder of its own and checked:
// its tag files (declaration, manifests, bag-info.txt, fetch.txt), its
// names and its payload, links and FIFOs included. The input is text: a
// line "== PATH" starts a file of the bag (its bytes are the lines after
// it), "=> PATH TARGET" makes a symbolic link, "=| PATH" a FIFO; TARGET
// "@" is a file outside the bag. Whatever the bag, the check ends, says
// 0, 1 or 2, prints nothing unprintable, never calls a bag with a link or
// a FIFO in its payload valid, and never opens the file outside it.
#include "evidence/bag_names.h"
#include "evidence/bag_tags.h"
#include "evidence/bag_verify.h"
#include "evidence/bagit.h"
#include "fuzz_check.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace kestle::evidence;

namespace {

struct Place {
    fs::path root, bag, outside;
    int watch = -1;
    Place() {
        root = fs::temp_directory_path() / ("kestle-bag-fuzz-" + std::to_string(::getpid()));
        bag = root / "bag";
        outside = root / "outside";
        fs::remove_all(root);
        fs::create_directories(outside);
        std::ofstream(outside / "secret") << "outside the bag";
        watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(watch, outside.c_str(), IN_OPEN);
    }
    ~Place() { fs::remove_all(root); }
    bool outsideOpened() const {
        char buf[4096];
        bool any = false;
        while (::read(watch, buf, sizeof buf) > 0)
            any = true;
        return any;
    }
};

// A path of the input that stays inside the bag's folder; empty otherwise.
std::string inside(std::string_view p) {
    if (p.empty() || p.front() == '/' || p.size() > 200)
        return {};
    for (std::size_t from = 0;;) {
        const std::size_t slash = p.find('/', from);
        const std::string_view part = p.substr(from, slash - from);
        if (part.empty() || part == "." || part == ".." ||
            part.find('\0') != std::string_view::npos)
            return {};
        if (slash == std::string_view::npos)
            return std::string(p);
        from = slash + 1;
    }
}

// Makes the folders of `rel` below the bag, never through a link (the input
// makes links to anywhere): false when something on the way is no folder,
// or when something is already at `rel` (a FIFO would block the write, a
// link lead it out of the bag).
bool placeFor(const fs::path& bag, const std::string& rel) {
    fs::path at = bag;
    std::error_code ec;
    for (const fs::path& part : fs::path(rel).parent_path()) {
        at /= part;
        const fs::file_type t = fs::symlink_status(at, ec).type();
        if (t == fs::file_type::not_found ? !fs::create_directory(at, ec)
                                          : t != fs::file_type::directory)
            return false;
    }
    return fs::symlink_status(bag / rel, ec).type() == fs::file_type::not_found;
}

bool printable(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

void checkNames(std::string_view text) {
    for (std::string_view line : tagLines(text)) {
        auto parts = splitManifestLine(line);
        if (!parts)
            continue;
        for (BagVersion v : {BagVersion::V1_0, BagVersion::V0_97}) {
            const NameCheck c = checkListedName(parts->name, v, ListKind::Payload);
            if (c.usable) {
                FUZZ_CHECK(c.path.starts_with("data/"));
                FUZZ_CHECK(c.path.find("/../") == std::string::npos && !c.path.ends_with("/.."));
            }
        }
        // What 1.0 decodes, it writes back the same.
        const std::string decoded = decodeListedName(parts->name, BagVersion::V1_0);
        FUZZ_CHECK(decodeListedName(encodeManifestPath(decoded), BagVersion::V1_0) == decoded);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Place place;
    fs::remove_all(place.bag);
    fs::create_directories(place.bag);
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    bool oddPayload = false; // a link or a FIFO below data/
    std::ofstream file;
    int files = 0;
    std::size_t at = 0;
    while (at < in.size() && files < 64) {
        std::size_t end = in.find('\n', at);
        if (end == std::string_view::npos)
            end = in.size();
        const std::string_view line = in.substr(at, end - at);
        at = end + 1;
        if (line.starts_with("== ") || line.starts_with("=> ") || line.starts_with("=| ")) {
            file.close();
            ++files;
            std::string_view rest = line.substr(3);
            std::string_view target;
            if (line[1] == '>') {
                const std::size_t blank = rest.rfind(' ');
                if (blank == std::string_view::npos)
                    continue;
                target = rest.substr(blank + 1);
                rest = rest.substr(0, blank);
            }
            const std::string rel = inside(rest);
            if (rel.empty())
                continue;
            const fs::path p = place.bag / rel;
            std::error_code ec;
            if (!placeFor(place.bag, rel))
                continue;
            if (line[1] == '=') {
                file.open(p, std::ios::binary | std::ios::trunc);
            } else if (line[1] == '>') {
                const fs::path to = target == "@" ? place.outside / "secret" : fs::path(target);
                fs::create_symlink(to, p, ec);
                oddPayload = oddPayload || (!ec && rel.starts_with("data/"));
            } else if (::mkfifo(p.c_str(), 0600) == 0) {
                oddPayload = oddPayload || rel.starts_with("data/");
            }
            continue;
        }
        if (file.is_open())
            file << line << '\n';
    }
    file.close();

    ReadLimits small;
    small.fileBytes = 1 << 20;
    small.inflatedBytes = 1 << 20;
    small.totalBytes = 16 << 20;
    const Verification v = checkBag(place.bag, {{}, {}, small});
    const int status = v.exitStatus();
    FUZZ_CHECK(status >= 0 && status <= 2);
    FUZZ_CHECK(!(oddPayload && status == 0));
    for (const auto* list : {&v.problems, &v.warnings, &v.unchecked})
        for (const std::string& s : *list)
            FUZZ_CHECK(printable(s));
    FUZZ_CHECK(!place.outsideOpened());

    // The tag texts' parsers on their own.
    for (const char* tag : {"bagit.txt", "bag-info.txt", "manifest-sha256.txt", "fetch.txt"}) {
        // Only a regular file: a FIFO would block, a link lead out.
        std::error_code ec;
        if (fs::symlink_status(place.bag / tag, ec).type() != fs::file_type::regular)
            continue;
        std::ifstream t(place.bag / tag, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(t), {}};
        (void)parseDeclaration(text);
        (void)checkBagInfo(text, BagVersion::V1_0);
        (void)checkBagInfo(text, BagVersion::V0_97);
        checkNames(text);
    }
    return 0;
}
