// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Clients of the remote view's server for its tests: a raw HTTP exchange
// over TCP or TLS and a WebSocket page, each waited on with a deadline
// while the event loop runs.
#include <QSslSocket>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <memory>
#include <string>
#include <vector>

namespace kestle::remote::test {

struct HttpReply {
    int status = 0;        // 0: no answer
    QByteArray head, body; // head: the status line and headers
    bool closed = false;   // the server closed the connection
    QByteArray header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith(name.toLower() + ":"))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
};

// Sends `request` as it stands and reads one answer (or the close).
inline HttpReply exchange(quint16 port, const QByteArray& request, bool tls = false,
                          int limitMs = 5000) {
    std::unique_ptr<QTcpSocket> s;
    if (tls) {
        auto ssl = std::make_unique<QSslSocket>();
        ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
        ssl->connectToHostEncrypted("127.0.0.1", port);
        s = std::move(ssl);
    } else {
        s = std::make_unique<QTcpSocket>();
        s->connectToHost("127.0.0.1", port);
    }
    HttpReply r;
    QByteArray in;
    QObject::connect(s.get(), &QTcpSocket::disconnected, [&r] { r.closed = true; });
    const bool up =
        tls ? QTest::qWaitFor(
                  [&] { return static_cast<QSslSocket*>(s.get())->isEncrypted() || r.closed; },
                  limitMs)
            : s->waitForConnected(limitMs);
    if (!up || r.closed)
        return r;
    s->write(request);
    (void)QTest::qWaitFor(
        [&] {
            in += s->readAll();
            const auto end = in.indexOf("\r\n\r\n");
            if (end < 0)
                return r.closed;
            r.head = in.left(end);
            r.status = in.mid(9, 3).toInt();
            const int length = r.header("Content-Length").toInt();
            r.body = in.mid(end + 4);
            return r.closed || r.body.size() >= length;
        },
        limitMs);
    return r;
}

inline QByteArray get(const QByteArray& target, const QByteArray& cookie = {},
                      const QByteArray& extra = {}) {
    QByteArray r = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: Mozilla/5.0 " +
                   "(Linux; Android 14; Pixel 8) Mobile\r\n";
    if (!cookie.isEmpty())
        r += "Cookie: other=1; kestle_session=" + cookie + "\r\n";
    return r + extra + "\r\n";
}

// A page's live connection: the messages it got and whether it is open.
struct Page {
    explicit Page(const QString& origin) : ws(origin) {
        QObject::connect(&ws, &QWebSocket::textMessageReceived,
                         [this](const QString& m) { messages.push_back(m.toStdString()); });
        QObject::connect(&ws, &QWebSocket::disconnected, [this] { closed = true; });
        QObject::connect(&ws, &QWebSocket::connected, [this] { opened = true; });
    }
    void open(quint16 port, const QByteArray& cookie, bool tls = false) {
        QNetworkRequest req(
            QUrl(QString(tls ? "wss" : "ws") + "://127.0.0.1:" + QString::number(port) + "/live"));
        if (!cookie.isEmpty())
            req.setRawHeader("Cookie", "kestle_session=" + cookie);
        if (tls) {
            QSslConfiguration c = QSslConfiguration::defaultConfiguration();
            c.setPeerVerifyMode(QSslSocket::VerifyNone);
            ws.setSslConfiguration(c);
        }
        ws.open(req);
    }
    bool waitMessages(std::size_t n, int limitMs = 5000) {
        return QTest::qWaitFor([&] { return messages.size() >= n || closed; }, limitMs) &&
               messages.size() >= n;
    }
    QWebSocket ws;
    std::vector<std::string> messages;
    bool opened = false, closed = false;
};

// A page that opens its live connection by hand and then stops reading,
// as a phone whose browser hangs: what is sent to it piles up.
struct StalledPage {
    // True once the server answered the upgrade (101).
    bool open(quint16 port, const QByteArray& origin, const QByteArray& cookie) {
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        socket.connectToHost("127.0.0.1", port);
        if (!socket.waitForConnected(5000))
            return false;
        // A small window, so that the system's buffers are soon full.
        socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        socket.write("GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                     "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                     "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                     "Sec-WebSocket-Version: 13\r\nOrigin: " +
                     origin + "\r\nCookie: kestle_session=" + cookie + "\r\n\r\n");
        QByteArray in;
        const bool answered = QTest::qWaitFor(
            [&] {
                in += socket.readAll();
                return in.contains("\r\n\r\n") || closed;
            },
            5000);
        // Qt stops taking bytes from the system once this is full.
        socket.setReadBufferSize(1);
        answer = in;
        return answered && in.startsWith("HTTP/1.1 101");
    }
    QTcpSocket socket;
    QByteArray answer; // to the upgrade
    bool closed = false;
};

} // namespace kestle::remote::test
