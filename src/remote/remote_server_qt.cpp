// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remote_server_qt.h"

#include "remote/http_rules.h"
#include "remote/remote_page.h"
#include "remote/snapshot.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>

#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace kestle::remote {

// The limits of one connection, from its accept to its close: a child of
// its socket, so that it ends with it.
class RemoteServer::Guard : public QObject {
  public:
    Guard(RemoteServer& owner, QTcpSocket* socket)
        : QObject(socket), owner_(owner), socket_(socket) {
        ++owner_.connections_;
        owner_.guards_.push_back(this);
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] { socket_->abort(); });
        timer_.start(owner_.slowClientMs_);
        // Connected before the HTTP server's own reader, so it sees each
        // chunk first; the server disconnects both when the socket turns
        // into a WebSocket.
        connect(socket, &QTcpSocket::readyRead, this, [this] {
            received_ += socket_->bytesAvailable();
            if (received_ > kMaxRequestBytes)
                socket_->abort();
        });
    }
    ~Guard() override {
        --owner_.connections_;
        std::erase(owner_.guards_, this);
    }
    // A whole request came: the next one has its own allowance and time.
    void requestDone() {
        received_ = 0;
        timer_.start(owner_.slowClientMs_);
    }
    // The connection is a page's WebSocket now: its own limits hold.
    void upgraded() { timer_.stop(); }
    QTcpSocket* socket() const { return socket_; }

  private:
    RemoteServer& owner_;
    QTcpSocket* socket_;
    QTimer timer_;
    qint64 received_ = 0;
};

// A TCP or TLS server that refuses connections beyond the limit and puts a
// guard on each one it accepts.
template <class Base> class RemoteServer::Listener : public Base {
  public:
    explicit Listener(RemoteServer& owner) : owner_(owner) {
        if constexpr (std::is_same_v<Base, QSslServer>) {
            // A TLS socket is guarded from its handshake on.
            QObject::connect(this, &QSslServer::startedEncryptionHandshake, this,
                             [this](QSslSocket* s) { owner_.watch(s); });
            this->setHandshakeTimeout(owner_.slowClientMs_);
        }
    }
    QTcpSocket* nextPendingConnection() override {
        QTcpSocket* s = Base::nextPendingConnection();
        if (s)
            owner_.watch(s);
        return s;
    }

  protected:
    void incomingConnection(qintptr fd) override {
        if (owner_.connections_ >= kMaxConnections) {
            ::close(static_cast<int>(fd));
            return;
        }
        Base::incomingConnection(fd);
    }

  private:
    RemoteServer& owner_;
};

class RemoteServer::Http : public QAbstractHttpServer {
  public:
    explicit Http(RemoteServer& owner) : owner_(owner) {
        connect(this, &QAbstractHttpServer::newWebSocketConnection, this,
                [this] { owner_.acceptPages(); });
    }

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        if (Guard* g = owner_.guardOf(socket))
            g->requestDone();
        // The WebSocket server answers an upgrade after this returns: only
        // a paired page's gets that far.
        const bool upgrade =
            request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
        if (upgrade && owner_.mayOpenLive(request))
            return true;
        const Reply r = upgrade ? Reply{} : owner_.reply(request);
        QHttpServerResponder out = makeResponder(request, socket);
        out.writeStatusLine(QHttpServerResponder::StatusCode(r.status));
        for (const auto& [key, value] : r.headers)
            out.writeHeader(key, value);
        out.writeHeader("Content-Length", QByteArray::number(r.body.size()));
        out.writeHeader("Cache-Control", "no-store");
        out.writeHeader("X-Content-Type-Options", "nosniff");
        out.writeHeader("Referrer-Policy", "no-referrer");
        out.writeHeader("X-Frame-Options", "DENY");
        out.writeBody(r.body);
        if (upgrade) {
            // Closed before the WebSocket server could take it over.
            socket->flush();
            socket->abort();
        }
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override { socket->abort(); }

  private:
    RemoteServer& owner_;
};

struct RemoteServer::Page {
    std::unique_ptr<QWebSocket> ws;
    int device = 0;
    std::string name;
    std::int64_t lastMarkMs = -1'000'000;
};

RemoteServer::RemoteServer(ServerFeed feed, int slowClientMs, QObject* parent)
    : QObject(parent), feed_(std::move(feed)), slowClientMs_(slowClientMs),
      sendTimer_(std::make_unique<QTimer>()) {
    connect(sendTimer_.get(), &QTimer::timeout, this, [this] { sendReadings(); });
}

RemoteServer::~RemoteServer() {
    stop();
}

std::int64_t RemoteServer::nowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Status RemoteServer::start(const std::vector<QHostAddress>& addresses, quint16 port,
                           std::optional<Certificate> tls) {
    stop();
    http_ = std::make_unique<Http>(*this);
    QSslConfiguration conf;
    if (tls) {
        const QSslCertificate cert(QByteArray::fromStdString(tls->certificatePem), QSsl::Pem);
        const QSslKey key(QByteArray::fromStdString(tls->keyPem), QSsl::Ec, QSsl::Pem);
        if (cert.isNull() || key.isNull())
            return Error{"The remote view's certificate could not be read by the TLS library."};
        conf = QSslConfiguration::defaultConfiguration();
        conf.setLocalCertificate(cert);
        conf.setPrivateKey(key);
        conf.setProtocol(QSsl::TlsV1_2OrLater);
        conf.setPeerVerifyMode(QSslSocket::VerifyNone);
    }
    std::string errors;
    for (const QHostAddress& a : addresses) {
        QTcpServer* server;
        if (tls) {
            auto* s = new Listener<QSslServer>(*this);
            s->setSslConfiguration(conf);
            server = s;
        } else {
            server = new Listener<QTcpServer>(*this);
        }
        if (!server->listen(a, port)) {
            errors += (errors.empty() ? "" : "; ") + a.toString().toStdString() + " port " +
                      std::to_string(port) + ": " + server->errorString().toStdString();
            delete server;
            continue;
        }
        port = server->serverPort(); // the others take the one chosen
        http_->bind(server);
        servers_.push_back(server);
        bound_.push_back(a);
    }
    if (servers_.empty()) {
        http_.reset();
        return Error{"The remote view could not listen" +
                     (errors.empty() ? std::string(": no address to listen on") : ": " + errors)};
    }
    port_ = port;
    tls_ = tls.has_value();
    pairing_.newCode();
    emit changed();
    return {};
}

void RemoteServer::stop() {
    sendTimer_->stop();
    for (const auto& p : pages_)
        QObject::disconnect(p->ws.get(), nullptr, this, nullptr);
    pages_.clear();
    http_.reset(); // its servers and their sockets with it
    servers_.clear();
    bound_.clear();
    port_ = 0;
    const bool had = !pairing_.devices().empty() || !pairing_.code().empty();
    pairing_.dropAll();
    if (had)
        emit changed();
}

std::string RemoteServer::pairingUrl(const QHostAddress& address) const {
    if (pairing_.code().empty())
        return {};
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? "[" + address.toString() + "]"
                             : address.toString();
    return (tls_ ? "https://" : "http://") + host.toStdString() + ":" + std::to_string(port_) +
           "/pair?code=" + pairing_.code();
}

void RemoteServer::pairAnother() {
    if (!listening())
        return;
    pairing_.newCode();
    emit changed();
}

void RemoteServer::drop(int id) {
    if (!pairing_.drop(id))
        return;
    closePages([id](const Page& p) { return p.device == id; });
    emit changed();
}

RemoteServer::Guard* RemoteServer::guardOf(const QTcpSocket* socket) const {
    for (Guard* g : guards_)
        if (g->socket() == socket)
            return g;
    return nullptr;
}

void RemoteServer::watch(QTcpSocket* socket) {
    if (!guardOf(socket))
        new Guard(*this, socket);
}

RemoteServer::Reply RemoteServer::reply(const QHttpServerRequest& request) {
    Reply r;
    const std::string address = request.remoteAddress().toString().toStdString();
    const std::int64_t now = nowMs();
    if (pairing_.refused(address, now))
        return r;
    const QString path = request.url().path();
    if (path == "/pair") {
        const std::string code = request.query().queryItemValue("code").toStdString();
        auto device = pairing_.redeem(code, deviceName(request.value("user-agent").toStdString()),
                                      address, now);
        if (!device)
            return r;
        r.status = 303;
        r.headers.emplace_back("Location", "/");
        r.headers.emplace_back("Set-Cookie",
                               QByteArray::fromStdString(sessionCookie(device->token, tls_)));
        emit changed();
        return r;
    }
    const std::string token = cookieValue(request.value("cookie").toStdString(), kCookieName);
    if (!pairing_.check(token, address, now))
        return r;
    if (request.method() != QHttpServerRequest::Method::Get) {
        r.status = 405;
        return r;
    }
    if (path != "/") {
        r.status = 404;
        return r;
    }
    r.status = 200;
    r.headers.emplace_back("Content-Type", "text/html; charset=utf-8");
    r.headers.emplace_back("Content-Security-Policy",
                           "default-src 'none'; script-src 'unsafe-inline'; style-src "
                           "'unsafe-inline'; connect-src 'self'; base-uri 'none'; "
                           "form-action 'none'; frame-ancestors 'none'");
    const std::string_view page = remotePage();
    r.body = QByteArray(page.data(), static_cast<qsizetype>(page.size()));
    return r;
}

bool RemoteServer::mayOpenLive(const QHttpServerRequest& request) {
    const std::string address = request.remoteAddress().toString().toStdString();
    const std::int64_t now = nowMs();
    if (pairing_.refused(address, now))
        return false;
    const std::string token = cookieValue(request.value("cookie").toStdString(), kCookieName);
    if (!pairing_.check(token, address, now))
        return false;
    if (!sameOrigin(request.value("origin").toStdString(), request.value("host").toStdString(),
                    tls_) ||
        request.url().path() != QString::fromUtf8(kLivePath.data(), kLivePath.size())) {
        pairing_.failed(address, now);
        return false;
    }
    return true;
}

void RemoteServer::acceptPages() {
    while (http_ && http_->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> ws = http_->nextPendingWebSocketConnection();
        if (!ws)
            break;
        for (Guard* g : guards_)
            if (g->socket()->peerPort() == ws->peerPort() &&
                g->socket()->peerAddress() == ws->peerAddress())
                g->upgraded();
        const QNetworkRequest req = ws->request();
        const std::string address = ws->peerAddress().toString().toStdString();
        const std::int64_t now = nowMs();
        if (pairing_.refused(address, now)) {
            ws->abort();
            continue;
        }
        const std::string token = cookieValue(req.rawHeader("Cookie").toStdString(), kCookieName);
        const auto device = pairing_.check(token, address, now);
        if (!device) {
            ws->abort();
            continue;
        }
        if (!sameOrigin(ws->origin().toStdString(), req.rawHeader("Host").toStdString(), tls_) ||
            req.url().path() != QString::fromUtf8(kLivePath.data(), kLivePath.size())) {
            pairing_.failed(address, now);
            ws->abort();
            continue;
        }
        ws->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
        ws->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
        auto page = std::make_unique<Page>();
        page->device = device->id;
        page->name = device->name;
        QWebSocket* raw = ws.get();
        page->ws = std::move(ws);
        Page* p = page.get();
        connect(raw, &QWebSocket::textMessageReceived, this,
                [this, p](const QString& text) { onMessage(*p, text); });
        connect(raw, &QWebSocket::binaryMessageReceived, raw, &QWebSocket::abort);
        connect(raw, &QWebSocket::disconnected, this, [this, raw] {
            // Not deleted inside its own signal.
            auto it = std::find_if(pages_.begin(), pages_.end(),
                                   [raw](const auto& q) { return q->ws.get() == raw; });
            if (it == pages_.end())
                return;
            QObject::disconnect(raw, nullptr, this, nullptr);
            (*it)->ws.release()->deleteLater();
            pages_.erase(it);
            if (pages_.empty())
                sendTimer_->stop();
        });
        pages_.push_back(std::move(page));
        lastSent_.clear(); // the new page gets the readings at once
        sendReadings();
        if (!sendTimer_->isActive())
            sendTimer_->start(kSendEveryMs);
    }
}

void RemoteServer::onMessage(Page& page, const QString& text) {
    const std::optional<std::string> note = markNote(text.toStdString());
    const std::int64_t now = nowMs();
    // One mark a second from a page at most: a flood marks once.
    if (!note || now - page.lastMarkMs < 1000)
        return;
    page.lastMarkMs = now;
    if (feed_.mark)
        feed_.mark(*note, page.name);
    page.ws->sendTextMessage(QStringLiteral("{\"marked\":true}"));
}

void RemoteServer::sendReadings() {
    if (pages_.empty() || !feed_.readings)
        return;
    const std::int64_t now = nowMs();
    Snapshot s = feed_.readings();
    const std::int64_t readAt = s.ms;
    s.ms = 0;
    std::string same = toJson(s);
    // Unchanged readings go out twice a second all the same: the page
    // shows it is up to date, and that the link lives.
    if (same == lastSent_ && now - lastSentMs_ < 500)
        return;
    lastSent_ = std::move(same);
    lastSentMs_ = now;
    s.ms = readAt;
    const QString text = QString::fromStdString(toJson(s));
    // A reader that does not keep up is dropped.
    closePages([](const Page& p) { return p.ws->bytesToWrite() > kMaxUnsentBytes; });
    for (const auto& p : pages_)
        p->ws->sendTextMessage(text);
}

void RemoteServer::closePages(const std::function<bool(const Page&)>& which) {
    // Aborting removes the page (its disconnected()), so first choose.
    std::vector<QWebSocket*> chosen;
    for (const auto& p : pages_)
        if (which(*p))
            chosen.push_back(p->ws.get());
    for (QWebSocket* ws : chosen)
        ws->abort();
}

} // namespace kestle::remote
