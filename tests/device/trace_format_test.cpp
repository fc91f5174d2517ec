// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/trace_format.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace kestle::device {
namespace {

TEST(TraceFormat, ParsesLinesCommentsAndBlankLines) {
    auto trace = parseTrace("# session of 3 May\r\n"
                            "\r\n"
                            "> 00 00 00 00 01 0A 00 1E   # 266 Hz and 30 Hz\r\n"
                            "   \t\n"
                            "\t/ 01 90 01 f4 01 F4 02 58\n"
                            "% 00 00 00 00 46 00 00 00"); // no final line end
    ASSERT_TRUE(trace) << trace.error();
    ASSERT_EQ(trace->size(), 3u);
    EXPECT_EQ((*trace)[0], (TraceEntry{'>', {0, 0, 0, 0, 0x01, 0x0A, 0x00, 0x1E}}));
    EXPECT_EQ((*trace)[1], (TraceEntry{'/', {0x01, 0x90, 0x01, 0xF4, 0x01, 0xF4, 0x02, 0x58}}));
    EXPECT_EQ((*trace)[2].request, '%');
    EXPECT_EQ((*trace)[2].answer[4], 70);
}

TEST(TraceFormat, ErrorsNameTheLineAndTheReason) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"> 00 00 00 00 01 0A 00\n", "line 1: expected 8 answer bytes, found 7"},
        {"# ok\n\n= 00 00 00 00 00 00 00 00 00\n", "line 3: expected 8 answer bytes, found 9"},
        {"> 00 00 00 00 01 0A 00 1G\n", "line 1: answer byte 8 is not two hex digits: \"1G\""},
        {"> 0 00 00 00 01 0A 00 1E\n", "line 1: answer byte 1 is not two hex digits: \"0\""},
        {"\n>> 00 00 00 00 01 0A 00 1E\n", "line 2: request must be one character, found \">>\""},
        {"%\n", "line 1: expected 8 answer bytes, found 0"},
    };
    for (const auto& c : cases) {
        auto trace = parseTrace(c.text);
        ASSERT_FALSE(trace) << c.text;
        EXPECT_EQ(trace.error(), c.error);
    }
}

TEST(TraceFormat, WriterOutputParsesBackUnchanged) {
    TraceEntry e{'=', {0x00, 0x0F, 0xA0, 0xFF, 0x10, 0x01, 0x7E, 0xC3}};
    std::string line = formatTraceLine(e);
    EXPECT_EQ(line, "= 00 0F A0 FF 10 01 7E C3");
    auto back = parseTrace(line + "\n");
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 1u);
    EXPECT_EQ(back->front(), e);
}

TEST(TraceFormat, LoadNamesTheFile) {
    auto dir = std::filesystem::temp_directory_path() / "kestle_trace_test";
    std::filesystem::create_directories(dir);
    auto missing = loadTrace(dir / "missing.trace");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().find("missing.trace"), std::string::npos);

    auto bad = dir / "bad.trace";
    std::ofstream(bad) << "> 00\n";
    auto parsed = loadTrace(bad);
    ASSERT_FALSE(parsed);
    EXPECT_NE(parsed.error().find("bad.trace"), std::string::npos);
    EXPECT_NE(parsed.error().find("line 1:"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// A trace that is a FIFO or a device would block the start or never end.
TEST(TraceFormat, LoadTakesOnlyARegularFile) {
    auto dir = std::filesystem::temp_directory_path() / "kestle_trace_special";
    std::filesystem::create_directories(dir);
    ASSERT_EQ(::mkfifo((dir / "fifo.trace").c_str(), 0600), 0);
    for (const auto& p : {dir / "fifo.trace", std::filesystem::path("/dev/zero")}) {
        auto t = loadTrace(p);
        ASSERT_FALSE(t);
        EXPECT_NE(t.error().find(p.string() + ": it is not a regular file"), std::string::npos)
            << t.error();
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kestle::device
