// SPDX-License-Identifier: GPL-3.0-or-later
// Who gets in (codes, tokens, refusals) and what crosses the wire (the
// readings as JSON, a mark's note).
#include "remote/pairing.h"
#include "remote/snapshot.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>
#include <set>

namespace kestle::remote {
namespace {

TEST(Pairing, ACodeOpensOnceAndItsTokenIsTheDevicesOwn) {
    Pairing p;
    const std::string code = p.newCode();
    ASSERT_EQ(code.size(), kCodeBytes * 2);
    auto phone = p.redeem(code, "Phone", "192.168.1.20", 0);
    ASSERT_TRUE(phone);
    EXPECT_EQ(phone->token.size(), kTokenBytes * 2);
    EXPECT_TRUE(p.code().empty());
    // Spent: a second phone with the same link gets nothing.
    EXPECT_FALSE(p.redeem(code, "Other", "192.168.1.21", 0));
    auto again = p.check(phone->token, "192.168.1.20", 0);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->name, "Phone");
    // A token one character off, or a prefix of it, is nobody's.
    std::string near = phone->token;
    near.back() = near.back() == '0' ? '1' : '0';
    EXPECT_FALSE(p.check(near, "192.168.1.20", 0));
    EXPECT_FALSE(p.check(phone->token.substr(0, 10), "192.168.1.20", 0));
    EXPECT_FALSE(p.check("", "192.168.1.20", 0));

    // "Pair Another": a new code for a second device; dropping one leaves the other.
    auto laptop = p.redeem(p.newCode(), "Laptop", "192.168.1.30", 0);
    ASSERT_TRUE(laptop);
    EXPECT_NE(laptop->id, phone->id);
    EXPECT_TRUE(p.drop(phone->id));
    EXPECT_FALSE(p.check(phone->token, "192.168.1.20", 0));
    EXPECT_TRUE(p.check(laptop->token, "192.168.1.30", 0));
    p.dropAll();
    EXPECT_FALSE(p.check(laptop->token, "192.168.1.30", 0));
    EXPECT_TRUE(p.devices().empty());
}

TEST(Pairing, CodesAreFreshRandomnessAndNoneWithoutIt) {
    Pairing p;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i)
        seen.insert(p.newCode());
    EXPECT_EQ(seen.size(), 200u);
    // A generator that fails gives no code, and an empty code opens nothing.
    Pairing broken([](unsigned char*, std::size_t) { return false; });
    EXPECT_EQ(broken.newCode(), "");
    EXPECT_FALSE(broken.redeem("", "Phone", "10.0.0.2", 0));
    EXPECT_TRUE(broken.devices().empty());
}

TEST(Pairing, TenFailuresRefuseAnAddressForAMinuteOnly) {
    Pairing p;
    const std::string code = p.newCode();
    for (int i = 0; i < kFailuresBeforeRefusal - 1; ++i)
        EXPECT_FALSE(p.check("guess", "10.0.0.9", i));
    EXPECT_FALSE(p.refused("10.0.0.9", 9));
    EXPECT_FALSE(p.redeem("wrong", "x", "10.0.0.9", 9)); // the tenth
    EXPECT_TRUE(p.refused("10.0.0.9", 10));
    // Refused, the right code does not open, and is not spent by trying.
    EXPECT_FALSE(p.redeem(code, "Phone", "10.0.0.9", 1000));
    EXPECT_EQ(p.code(), code);
    // Another address is not touched; the refusal ends after a minute.
    EXPECT_FALSE(p.refused("10.0.0.8", 1000));
    EXPECT_FALSE(p.refused("10.0.0.9", 9 + kRefusalMs));
    EXPECT_TRUE(p.redeem(code, "Phone", "10.0.0.9", 9 + kRefusalMs));
}

TEST(Pairing, SecretsCompareWholly) {
    EXPECT_TRUE(sameSecret("abc", "abc"));
    EXPECT_FALSE(sameSecret("abc", "abd"));
    EXPECT_FALSE(sameSecret("abc", "xbc"));
    EXPECT_FALSE(sameSecret("abc", "abcd"));
    EXPECT_FALSE(sameSecret(std::string("a\0c", 3), std::string("a\0d", 3)));
}

TEST(Snapshot, JsonEscapesEverythingAPageCouldMisread) {
    EXPECT_EQ(jsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(jsonString("x\r\ny\t"), R"("x\u000d\u000ay\u0009")");
    EXPECT_EQ(jsonString("</script>"), R"("\u003c/script>")");
    EXPECT_EQ(jsonString("23.5 \xC2\xB0"
                         "C"),
              "\"23.5 \xC2\xB0"
              "C\"");
    // Bytes that are not UTF-8 (a CP1252 degree sign, a cut sequence).
    EXPECT_EQ(jsonString("\xB0"
                         "C \xE2\x82"),
              R"("\ufffdC \ufffd\ufffd")");
    EXPECT_EQ(jsonString("\xC0\xAF"), R"("\ufffd\ufffd")"); // overlong '/'
}

TEST(Snapshot, TheFormsDisplaysAsShown) {
    VirtualScheduler sched;
    forms::MainForm f(sched);
    f.CHA_DSP->setText("1.25");
    f.TRENDDSP->setText("+");
    f.Shape1[2]->setColor(forms::kRed);
    std::string display;
    for (int i = 1; i <= 12; ++i)
        display += "word" + std::to_string(i) + "\r\n";
    f.main_display->setText(display);
    f.alarmdisplay->setText("one\r\ntwo\r\nthree\r\nfour\r\n");
    f.question->setText("Is anyone \"here\"?");
    const Snapshot s = readSnapshot(f, true, 1234);
    ASSERT_EQ(s.words.size(), kSnapshotWords);
    EXPECT_EQ(s.words.front(), "word5");
    EXPECT_EQ(s.words.back(), "word12");
    EXPECT_EQ(s.direction, 2);
    EXPECT_EQ(s.alarm, "two\nthree\nfour");
    const std::string j = toJson(s);
    EXPECT_NE(j.find(R"("ms":1234,"plugged":true,"a":"1.25")"), std::string::npos) << j;
    EXPECT_NE(j.find(R"("trend":"+","direction":2,"words":["word5",)"), std::string::npos) << j;
    EXPECT_NE(j.find(R"("question":"Is anyone \"here\"?","secondsLeft":null)"), std::string::npos)
        << j;
    EXPECT_EQ(j.back(), '}');
}

TEST(Snapshot, OnlyAMarkComesBackAndItsNoteIsCleaned) {
    EXPECT_EQ(markNote("mark"), "");
    EXPECT_EQ(markNote("mark   "), "");
    EXPECT_EQ(markNote("mark  cold spot \r\n"), "cold spot");
    EXPECT_EQ(markNote("mark a\tb\x01"
                       "c"),
              "a b c");
    EXPECT_EQ(markNote("mark caf\xC3\xA9 \xFF!"), "caf\xC3\xA9 !");
    for (const char* other : {"", "marker", "Mark x", "quit", " mark x", "set Alarm1 1"})
        EXPECT_FALSE(markNote(other)) << other;
    // Bounded, and never cut inside a character.
    std::string longNote = "mark ";
    for (int i = 0; i < 150; ++i)
        longNote += "\xC3\xA9";
    const auto note = markNote(longNote);
    ASSERT_TRUE(note);
    EXPECT_LE(note->size(), kMarkNoteBytes);
    EXPECT_EQ(note->size() % 2, 0u);
    EXPECT_EQ(jsonString(*note).find("\\ufffd"), std::string::npos);
}

} // namespace
} // namespace kestle::remote
