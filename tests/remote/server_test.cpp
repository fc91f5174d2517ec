// SPDX-License-Identifier: GPL-3.0-or-later
// The remote view's server over real sockets: who gets the page and the
// live readings, what a page may do, and the limits that keep a flood, a
// slow client or a big request from hurting the session.
#include "clients.h"
#include "fakes/temp_folder.h"
#include "remote/remote_server_qt.h"

#include <gtest/gtest.h>

#include <QSslCertificate>

namespace kestle::remote {
namespace {

using test::exchange;
using test::get;
using test::Page;

const QString kOrigin = "http://127.0.0.1";

// A server on this machine's loopback address with readings that count up
// and the marks it was given.
class Served : public ::testing::Test {
  protected:
    explicit Served(int slowClientMs = kSlowClientMs)
        : server({[this] {
                      Snapshot s;
                      s.ms = 1;
                      s.a = "1.23";
                      s.emf = std::to_string(++reads);
                      s.alarm = alarm;
                      if (!bigWords.empty())
                          s.words = {bigWords};
                      return s;
                  },
                  [this](const std::string& note, const std::string& by) {
                      marks.emplace_back(note, by);
                  }},
                 slowClientMs) {}
    void start(std::optional<Certificate> tls = std::nullopt) {
        ASSERT_TRUE(server.start({QHostAddress::LocalHost}, 0, tls));
        port = server.port();
        origin = kOrigin + ":" + QString::number(port);
    }
    QByteArray code() const {
        const std::string url = server.pairingUrl(QHostAddress::LocalHost);
        return QByteArray::fromStdString(url.substr(url.find("code=") + 5));
    }
    // Pairs a device; its token.
    QByteArray pair(bool tls = false) {
        const auto r = exchange(port, get("/pair?code=" + code()), tls);
        EXPECT_EQ(r.status, 303) << r.head.toStdString();
        const QByteArray c = r.header("Set-Cookie");
        return c.mid(c.indexOf('=') + 1, c.indexOf(';') - c.indexOf('=') - 1);
    }

    int reads = 0;
    std::string alarm;
    std::string bigWords; // sent as a line of the main display when set
    std::vector<std::pair<std::string, std::string>> marks;
    RemoteServer server;
    quint16 port = 0;
    QString origin;
};

TEST_F(Served, OnlyAPairedDeviceGetsThePageAndItsReadingsAndAPageCanOnlyMark) {
    start();
    // Before pairing: nothing, not even the page, and never a CORS header.
    for (const char* target : {"/", "/live", "/favicon.ico", "/pair?code=00"}) {
        const auto r = exchange(port, get(target, "", "Origin: http://evil.example\r\n"));
        EXPECT_EQ(r.status, 403) << target;
        EXPECT_TRUE(r.body.isEmpty());
        EXPECT_FALSE(r.head.toLower().contains("access-control")) << r.head.toStdString();
    }
    const QByteArray code1 = code();
    const auto paired = exchange(port, get("/pair?code=" + code1));
    ASSERT_EQ(paired.status, 303);
    EXPECT_EQ(paired.header("Location"), "/");
    const QByteArray cookie = paired.header("Set-Cookie");
    EXPECT_TRUE(cookie.contains("HttpOnly") && cookie.contains("SameSite=Strict"))
        << cookie.toStdString();
    EXPECT_FALSE(cookie.contains("Secure")) << "plain HTTP cannot keep a Secure cookie";
    const QByteArray token = cookie.mid(15, cookie.indexOf(';') - 15);
    ASSERT_EQ(server.devices().size(), 1u);
    EXPECT_EQ(server.devices()[0].name, "Linux; Android 14; Pixel 8");
    EXPECT_EQ(server.devices()[0].address, "127.0.0.1");
    // The code is spent: a second browser with the same link gets nothing.
    EXPECT_EQ(exchange(port, get("/pair?code=" + code1)).status, 403);
    EXPECT_TRUE(server.pairingUrl(QHostAddress::LocalHost).empty());

    const auto page = exchange(port, get("/", token));
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("<title>Kestle</title>"));
    EXPECT_TRUE(page.header("Content-Security-Policy").contains("default-src 'none'"));
    EXPECT_EQ(exchange(port, get("/other", token)).status, 404);

    // The live page: readings at once and then as they change.
    Page live(origin);
    live.open(port, token);
    ASSERT_TRUE(live.waitMessages(3)) << "closed: " << live.closed;
    EXPECT_NE(live.messages[0].find("\"a\":\"1.23\""), std::string::npos) << live.messages[0];
    EXPECT_NE(live.messages[0], live.messages[1]);
    EXPECT_EQ(server.pages(), 1);
    // A mark with its note, by the device's name; a flood marks once;
    // anything else it sends does nothing.
    for (int i = 0; i < 20; ++i)
        live.ws.sendTextMessage("mark  the door\tmoved ");
    live.ws.sendTextMessage("stop");
    live.ws.sendTextMessage("{\"set\":\"threshold\"}");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::count(live.messages.begin(), live.messages.end(), "{\"marked\":true}") > 0;
        },
        5000));
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0], std::make_pair(std::string("the door moved"), server.devices()[0].name));

    // Another origin, or no token, gets a closed connection and no data.
    for (auto [from, with] :
         {std::pair{QString("http://evil.example"), token}, std::pair{origin, QByteArray()},
          std::pair{origin, QByteArray("00") + token.mid(2)}}) {
        Page stranger(from);
        stranger.open(port, with);
        EXPECT_TRUE(QTest::qWaitFor([&] { return stranger.closed; }, 5000));
        EXPECT_TRUE(stranger.messages.empty()) << from.toStdString();
    }
    EXPECT_EQ(server.pages(), 1);

    // Dropped: its page closes and its token opens nothing.
    server.drop(server.devices()[0].id);
    EXPECT_TRUE(QTest::qWaitFor([&] { return live.closed; }, 5000));
    EXPECT_EQ(exchange(port, get("/", token)).status, 403);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections() == 0; }, 5000))
        << server.connections();
}

TEST_F(Served, AnAddressThatKeepsGuessingIsRefusedEvenWithAGoodToken) {
    start();
    server.pairAnother();
    const QByteArray token = pair();
    for (int i = 0; i < kFailuresBeforeRefusal; ++i)
        EXPECT_EQ(exchange(port, get("/", "wrong")).status, 403);
    EXPECT_EQ(exchange(port, get("/", token)).status, 403);
    server.pairAnother();
    EXPECT_EQ(exchange(port, get("/pair?code=" + code())).status, 403);
    EXPECT_EQ(server.devices().size(), 1u);
    // Stopping drops every device and spends the code.
    server.stop();
    EXPECT_TRUE(server.devices().empty());
    EXPECT_FALSE(server.listening());
}

class Limited : public Served {
  protected:
    // Long enough for a loaded machine to do what a page does, short enough to wait for.
    Limited() : Served(2000) {}
};

TEST_F(Limited, BigRequestsSlowClientsFloodsAndBigMessagesAreCutOff) {
    start();
    const QByteArray token = pair();
    // A request larger than the limit never gets an answer.
    const auto big = exchange(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: " +
                                        QByteArray(kMaxRequestBytes + 10, 'a') + "\r\n\r\n");
    EXPECT_TRUE(big.closed);
    EXPECT_EQ(big.status, 0);
    // A request that never ends is dropped when its time is up.
    const auto slow = exchange(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    EXPECT_TRUE(slow.closed);
    EXPECT_EQ(slow.status, 0);

    // An idle connection goes when its time is up; the page stays.
    QTcpSocket idle;
    bool idleClosed = false;
    QObject::connect(&idle, &QTcpSocket::disconnected, [&] { idleClosed = true; });
    idle.connectToHost("127.0.0.1", port);
    EXPECT_TRUE(QTest::qWaitFor([&] { return idleClosed; }, 5000));
    Page live(origin);
    live.open(port, token);
    ASSERT_TRUE(live.waitMessages(1));
    const std::size_t had = live.messages.size();
    EXPECT_TRUE(live.waitMessages(had + 2));

    // A message over the limit closes the page, and marks nothing.
    live.ws.sendTextMessage("mark " + QString(kMaxMessageBytes, 'x'));
    EXPECT_TRUE(QTest::qWaitFor([&] { return live.closed; }, 5000));
    EXPECT_TRUE(marks.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections() == 0; }, 5000));
}

TEST_F(Served, APageThatStopsReadingIsDroppedAndTheOthersGoOn) {
    start();
    const QByteArray token = pair();
    // Readings of 64 KiB: once the system's buffers are full (a few MB,
    // some seconds) the stalled page is five behind, while the reading page
    // may fall a second behind and stay.
    bigWords.assign(64 * 1024, 'w');
    Page reading(origin);
    reading.open(port, token);
    test::StalledPage stalled;
    ASSERT_TRUE(stalled.open(port, origin.toUtf8(), token)) << stalled.answer.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.pages() == 2; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return stalled.closed || server.pages() < 2; }, 30000))
        << "a page that reads nothing is still sent to";
    EXPECT_EQ(server.pages(), 1);
    EXPECT_FALSE(reading.closed);
    const std::size_t had = reading.messages.size();
    EXPECT_TRUE(reading.waitMessages(had + 2));
}

TEST_F(Served, AtMostSixteenConnectionsAndAPageKeepsItsOwn) {
    start();
    const QByteArray token = pair();
    Page live(origin);
    live.open(port, token);
    ASSERT_TRUE(live.waitMessages(1));
    std::vector<std::unique_ptr<QTcpSocket>> flood;
    int up = 0, closed = 0;
    for (int i = 0; i < kMaxConnections + 4; ++i) {
        flood.push_back(std::make_unique<QTcpSocket>());
        QObject::connect(flood.back().get(), &QTcpSocket::connected, [&up] { ++up; });
        QObject::connect(flood.back().get(), &QTcpSocket::disconnected, [&closed] { ++closed; });
        flood.back()->connectToHost("127.0.0.1", port);
    }
    // The page holds one: five of the twenty are closed as they come.
    ASSERT_TRUE(QTest::qWaitFor([&] { return up == int(flood.size()) && closed >= 5; }, 5000))
        << up << " up, " << closed << " closed";
    EXPECT_EQ(server.connections(), kMaxConnections);
    EXPECT_FALSE(live.closed);
    flood.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.connections() == 1; }, 5000));
    const std::size_t had = live.messages.size();
    EXPECT_TRUE(live.waitMessages(had + 1));
}

TEST_F(Served, OverTlsTheCertificateIsTheOneShownAndTheCookieIsSecure) {
    kestle::test::TempFolder dir;
    auto cert = loadOrMakeCertificate(dir.path() / "remote.pem");
    ASSERT_TRUE(cert) << cert.error();
    start(*cert);
    EXPECT_TRUE(server.tls());
    EXPECT_EQ(server.pairingUrl(QHostAddress::LocalHost).rfind("https://127.0.0.1:", 0), 0u);

    QSslSocket s;
    s.setPeerVerifyMode(QSslSocket::VerifyNone);
    s.connectToHostEncrypted("127.0.0.1", port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.isEncrypted(); }, 5000))
        << s.errorString().toStdString();
    const QByteArray digest = s.peerCertificate().digest(QCryptographicHash::Sha256);
    EXPECT_EQ(digest.toHex(':').toUpper().toStdString(), cert->fingerprint);
    s.abort();

    const auto r = exchange(port, get("/pair?code=" + code()), true);
    ASSERT_EQ(r.status, 303);
    EXPECT_TRUE(r.header("Set-Cookie").contains("; Secure"));
    // Plain HTTP on the TLS port gets nothing.
    EXPECT_EQ(exchange(port, get("/")).status, 0);
    Page live("https://127.0.0.1:" + QString::number(port));
    const QByteArray c = r.header("Set-Cookie");
    live.open(port, c.mid(15, c.indexOf(';') - 15), true);
    EXPECT_TRUE(live.waitMessages(1));
}

} // namespace
} // namespace kestle::remote
