// SPDX-License-Identifier: GPL-3.0-or-later
// The remote view against hostile bytes. The first byte chooses what the
// rest is: 0 an HTTP client's bytes (requests, pipelined, cut short, huge
// headers) sent to a server; 1 WebSocket frames a paired page sends after
// its handshake; anything else the text the rules parse (cookies, origins,
// user agents, the listen option, a mark). After every input the servers
// must still answer, within the connection limit.
#include "app/listen_at.h"
#include "fuzz_check.h"
#include "remote/http_rules.h"
#include "remote/remote_server_qt.h"
#include "remote/snapshot.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <string>

namespace {

using namespace kestle::remote;

struct Rig {
    int argc = 1;
    char name[12] = "remote_fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    int marks = 0;
    ServerFeed feed{[] {
                        Snapshot s;
                        s.a = "1.00 VDC";
                        return s;
                    },
                    [this](const std::string& note, const std::string&) {
                        FUZZ_CHECK(note.size() <= kMarkNoteBytes);
                        ++marks;
                    }};
    RemoteServer http{feed, 2000}, live{feed, 2000};
    QByteArray token;

    Rig() {
        FUZZ_CHECK(http.start({QHostAddress::LocalHost}, 0, std::nullopt));
        FUZZ_CHECK(live.start({QHostAddress::LocalHost}, 0, std::nullopt));
        const std::string url = live.pairingUrl(QHostAddress::LocalHost);
        const QByteArray reply = exchange(
            live.port(), "GET " + QByteArray::fromStdString(url.substr(url.find("/pair"))) +
                             " HTTP/1.1\r\nHost: x\r\n\r\n");
        const auto at = reply.indexOf("kestle_session=");
        FUZZ_CHECK(at > 0);
        token = reply.mid(at + 15, 64);
    }

    // Sends `bytes` and returns what came back: until the server closed,
    // an answer's head came (with `head`), or nothing came for `idleMs`.
    // With `first`, that is sent and answered before `bytes` go.
    static QByteArray exchange(quint16 port, const QByteArray& bytes, int idleMs = 200,
                               bool head = true, const QByteArray& first = {}) {
        QTcpSocket s;
        s.connectToHost("127.0.0.1", port);
        FUZZ_CHECK(s.waitForConnected(2000));
        if (!first.isEmpty()) {
            const QByteArray answer = [&] {
                s.write(first);
                QByteArray got;
                QEventLoop loop;
                QTimer all;
                QObject::connect(&all, &QTimer::timeout, &loop, &QEventLoop::quit);
                QObject::connect(&s, &QTcpSocket::readyRead, [&] {
                    got += s.readAll();
                    if (got.contains("\r\n\r\n"))
                        loop.quit();
                });
                all.start(5000);
                loop.exec();
                QObject::disconnect(&s, &QTcpSocket::readyRead, nullptr, nullptr);
                return got;
            }();
            FUZZ_CHECK(answer.startsWith("HTTP/1.1 101"));
        }
        QByteArray in;
        QEventLoop loop;
        QTimer idle, all;
        idle.setSingleShot(true);
        all.setSingleShot(true);
        QObject::connect(&idle, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&all, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&s, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
        QObject::connect(&s, &QTcpSocket::readyRead, [&] {
            in += s.readAll();
            if (head && in.contains("\r\n\r\n"))
                loop.quit();
            else
                idle.start(idleMs);
        });
        s.write(bytes);
        idle.start(idleMs);
        all.start(5000);
        loop.exec();
        s.abort();
        return in;
    }

    // Both servers still answer a request of their own.
    void stillAnswers() {
        const QByteArray stranger =
            exchange(http.port(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n", 1000);
        FUZZ_CHECK(stranger.startsWith("HTTP/1.1 403"));
        const QByteArray paired = exchange(
            live.port(),
            "GET / HTTP/1.1\r\nHost: x\r\nCookie: kestle_session=" + token + "\r\n\r\n", 1000);
        FUZZ_CHECK(paired.startsWith("HTTP/1.1 200"));
        FUZZ_CHECK(http.connections() <= kMaxConnections && live.connections() <= kMaxConnections);
    }
};

Rig& rig() {
    static Rig r;
    return r;
}

void rules(const std::string& text) {
    const auto half = text.size() / 2;
    const std::string a = text.substr(0, half), b = text.substr(half);
    (void)cookieValue(text, kCookieName);
    (void)sameOrigin(a, b, true);
    const std::string name = deviceName(text);
    FUZZ_CHECK(!name.empty() && name.size() <= 48);
    for (char c : name)
        FUZZ_CHECK(c >= 0x20 && c < 0x7F);
    if (auto where = kestle::app::parseListenAt(text))
        FUZZ_CHECK(where->address.empty() || text.find(':') != std::string::npos);
    if (auto note = markNote(text)) {
        FUZZ_CHECK(note->size() <= kMarkNoteBytes);
        for (unsigned char c : *note)
            FUZZ_CHECK(c >= 0x20 && c != 0x7F);
    }
    const std::string json = jsonString(text);
    for (unsigned char c : json)
        FUZZ_CHECK(c >= 0x20 && c != '<');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1),
                          static_cast<qsizetype>(size - 1));
    switch (data[0]) {
    case 0:
        (void)Rig::exchange(rig().http.port(), rest, 20, false);
        rig().stillAnswers();
        break;
    case 1: {
        Rig& r = rig();
        const QByteArray handshake =
            "GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(r.live.port()) +
            "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
            "Sec-WebSocket-Version: 13\r\nOrigin: http://127.0.0.1:" +
            QByteArray::number(r.live.port()) + "\r\nCookie: kestle_session=" + r.token +
            "\r\n\r\n";
        (void)Rig::exchange(r.live.port(), rest, 20, false, handshake);
        r.stillAnswers();
        break;
    }
    default:
        rules(rest.toStdString());
    }
    return 0;
}
