// SPDX-License-Identifier: GPL-3.0-or-later
// Who gets in (codes, tokens, refusals) and what crosses the wire (the
// readings as JSON, a mark's note).
#include "remote/http_rules.h"
#include "remote/pairing.h"
#include "remote/qr_code.h"
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
    EXPECT_EQ(s.alarm, "") << "the alarm window lists the limits too";
    EXPECT_EQ(alarmLines(f.alarmdisplay->text()), "two\nthree\nfour");
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

TEST(HttpRules, CookiesOriginsNamesAndAddressesAreReadStrictly) {
    EXPECT_EQ(cookieValue("a=1; kestle_session=abc ;b=2", kCookieName), "abc");
    EXPECT_EQ(cookieValue("xkestle_session=abc; kestle_sessionx=d", kCookieName), "");
    EXPECT_EQ(cookieValue("kestle_session", kCookieName), "");
    EXPECT_EQ(cookieValue("", kCookieName), "");
    EXPECT_EQ(sessionCookie("t", true),
              "kestle_session=t; Path=/; HttpOnly; SameSite=Strict; Secure");

    EXPECT_TRUE(sameOrigin("https://192.168.1.5:8443", "192.168.1.5:8443", true));
    EXPECT_TRUE(sameOrigin("HTTP://Laptop.local:80", "laptop.local:80", false));
    EXPECT_FALSE(sameOrigin("http://192.168.1.5:8443", "192.168.1.5:8443", true));
    EXPECT_FALSE(sameOrigin("https://192.168.1.5:8443.evil", "192.168.1.5:8443", true));
    EXPECT_FALSE(sameOrigin("https://192.168.1.5:8443", "192.168.1.5:8444", true));
    EXPECT_FALSE(sameOrigin("null", "192.168.1.5:8443", true));
    EXPECT_FALSE(sameOrigin("https://", "", true));

    EXPECT_EQ(deviceName("Mozilla/5.0 (iPhone; CPU iPhone OS 17_0) Safari"),
              "iPhone; CPU iPhone OS 17_0");
    EXPECT_EQ(deviceName("curl/8"), "device");
    EXPECT_EQ(deviceName("x (\x01\x7f  )"), "device");
    EXPECT_EQ(deviceName("x (" + std::string(100, 'a') + ")").size(), 48u);

    for (std::uint32_t a :
         {0x0A000001u, 0xAC100001u, 0xAC1FFFFFu, 0xC0A80101u, 0x7F000001u, 0xA9FE0001u})
        EXPECT_TRUE(isPrivateIPv4(a)) << std::hex << a;
    for (std::uint32_t a : {0x08080808u, 0xAC200001u, 0xAC0F0001u, 0xC0A90101u, 0x64400001u})
        EXPECT_FALSE(isPrivateIPv4(a)) << std::hex << a;
    std::array<std::uint8_t, 16> v6{};
    v6[15] = 1;
    EXPECT_TRUE(isPrivateIPv6(v6)); // ::1
    v6 = {0xFD, 0x12};
    EXPECT_TRUE(isPrivateIPv6(v6));
    v6 = {0xFE, 0x80};
    EXPECT_TRUE(isPrivateIPv6(v6));
    v6 = {0x20, 0x01, 0x0D, 0xB8};
    EXPECT_FALSE(isPrivateIPv6(v6));
    v6 = {0xFE, 0xC0};
    EXPECT_FALSE(isPrivateIPv6(v6));
}

TEST(QrCode, HasItsThreeFinderPatternsAndGrowsWithTheLink) {
    auto finder = [](const QrCode& c, int x0, int y0) {
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x) {
                const bool ring = x == 0 || y == 0 || x == 6 || y == 6;
                const bool core = x >= 2 && x <= 4 && y >= 2 && y <= 4;
                if (c.at(x0 + x, y0 + y) != (ring || core))
                    return false;
            }
        return true;
    };
    const std::string link = "https://192.168.1.5:8443/pair?code=" + std::string(32, 'a');
    auto c = qrCode(link);
    ASSERT_TRUE(c) << c.error();
    EXPECT_EQ((c->size - 17) % 4, 0) << c->size;
    EXPECT_TRUE(finder(*c, 0, 0) && finder(*c, c->size - 7, 0) && finder(*c, 0, c->size - 7));
    EXPECT_FALSE(finder(*c, c->size - 7, c->size - 7));
    auto longer = qrCode(link + std::string(200, 'b'));
    ASSERT_TRUE(longer);
    EXPECT_GT(longer->size, c->size);
    EXPECT_FALSE(qrCode(std::string(4000, 'x')));
}

} // namespace
} // namespace kestle::remote
