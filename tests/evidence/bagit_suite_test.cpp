// SPDX-License-Identifier: GPL-3.0-or-later
// The Library of Congress's BagIt conformance suite, a copy byte for byte in
// tests/evidence/bagit-suite, each bag checked by `kestle --verify` against
// the table beside it (expected.tsv): the exit status, and what it says of
// the bag. Problems and warnings go to standard error; only a valid bag's
// verdict goes to standard output.
#include "fakes/program_run.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

namespace kestle::evidence {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const fs::path kSuite = fs::path(KESTLE_TEST_DATA) / "evidence" / "bagit-suite";

struct Expected {
    std::string bag;
    int status = -1;
    std::string says;
};

std::vector<Expected> table() {
    std::vector<Expected> rows;
    std::ifstream in(kSuite / "expected.tsv", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos)
            continue;
        rows.push_back(
            {line.substr(0, a), std::stoi(line.substr(a + 1, b - a - 1)), line.substr(b + 1)});
    }
    return rows;
}

class SuiteBag : public ::testing::TestWithParam<Expected> {};

TEST_P(SuiteBag, IsJudgedAsTheTableSays) {
    const Expected& e = GetParam();
    const auto run = test::runProgram({KESTLE_BINARY, "--verify", (kSuite / e.bag).string()});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, e.status) << run.err;
    EXPECT_THAT(run.out + run.err, HasSubstr(e.says));
    if (e.status == 0) {
        EXPECT_THAT(run.out, HasSubstr("the bag is valid (BagIt "));
        // The warning set's bags, valid, say what they warn of.
        if (e.bag.find("/warning/") != std::string::npos) {
            EXPECT_THAT(run.err, HasSubstr("warning: "));
        }
    } else {
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr(e.status == 1 ? "the bag is not valid"
                                                     : "the bag could not be checked"));
    }
}

// Every bag of the copy is in the table, and the table names no other.
TEST(Suite, TheTableNamesEveryBagOfTheSuite) {
    std::set<std::string> bags, listed;
    for (const auto& version : fs::directory_iterator(kSuite))
        if (version.is_directory())
            for (const auto& set : fs::directory_iterator(version))
                for (const auto& bag : fs::directory_iterator(set))
                    if (bag.is_directory())
                        bags.insert(fs::relative(bag.path(), kSuite).generic_string());
    for (const Expected& e : table())
        listed.insert(e.bag);
    EXPECT_EQ(bags, listed);
    EXPECT_GE(bags.size(), 60u);
}

std::string testName(const ::testing::TestParamInfo<Expected>& info) {
    std::string n;
    for (char c : info.param.bag)
        n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Conformance, SuiteBag, ::testing::ValuesIn(table()), testName);

} // namespace
} // namespace kestle::evidence
