// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The remote view's web server (Qt HTTP Server and Qt WebSockets) on the
// window thread's event loop. It serves the page and its live WebSocket to
// paired devices only; everything else gets 403 and no data. What a device
// can do is read the readings and put a mark.
//
// Limits: kMaxConnections sockets at once (more are closed as they come),
// kMaxRequestBytes for a request's line, headers and body, kSlowClientMs for
// a request to arrive whole (and for an idle kept-alive connection),
// kMaxMessageBytes per WebSocket message, and a page that falls
// kMaxUnsentBytes behind is dropped. Window thread only.
#include "remote/certificate.h"
#include "remote/pairing.h"
#include "remote/snapshot.h"
#include "support/result.h"

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;
class QWebSocket;
class QHttpServerRequest;

namespace kestle::remote {

inline constexpr int kMaxConnections = 16;
inline constexpr qint64 kMaxRequestBytes = 16 * 1024;
inline constexpr int kSlowClientMs = 10'000;
inline constexpr qint64 kMaxMessageBytes = 1024;
inline constexpr qint64 kMaxUnsentBytes = 256 * 1024;
// How often each page is sent the readings.
inline constexpr int kSendEveryMs = 250;

// What the server asks of the session. Both are called on the window thread.
struct ServerFeed {
    std::function<Snapshot()> readings; // the readings now
    std::function<void(const std::string& note, const std::string& by)> mark;
};

class RemoteServer : public QObject {
    Q_OBJECT
  public:
    // `slowClientMs`: kSlowClientMs but in tests.
    explicit RemoteServer(ServerFeed feed, int slowClientMs = kSlowClientMs,
                          QObject* parent = nullptr);
    ~RemoteServer() override;

    // Listens on every address of `addresses` at `port` (0: one the system
    // chooses, the same for all); HTTPS with `tls`, plain HTTP without.
    // A first pairing code is made. Errors when no address could be bound.
    Status start(const std::vector<QHostAddress>& addresses, quint16 port,
                 std::optional<Certificate> tls);
    // Closes every connection and drops every paired device.
    void stop();
    bool listening() const { return !servers_.empty(); }
    bool tls() const { return tls_; }
    quint16 port() const { return port_; }
    const std::vector<QHostAddress>& addresses() const { return bound_; }

    // The link that pairs one device, for `address` (one of addresses()).
    std::string pairingUrl(const QHostAddress& address) const;
    // "Pair Another": a new code (the link changes).
    void pairAnother();
    const std::vector<PairedDevice>& devices() const { return pairing_.devices(); }
    // Unpairs a device and closes its pages.
    void drop(int id);

    int connections() const { return connections_; }
    int pages() const { return static_cast<int>(pages_.size()); }

  signals:
    // The devices, the code or the listening changed.
    void changed();

  private:
    class Http;
    class Guard;
    template <class Base> class Listener;
    struct Page;
    friend class Guard;

    struct Reply {
        int status = 403;
        std::vector<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;
    };
    std::int64_t nowMs() const;
    Reply reply(const QHttpServerRequest& request);
    // A WebSocket upgrade from a paired page of this origin, at kLivePath.
    bool mayOpenLive(const QHttpServerRequest& request);
    // Attaches the limits to a new connection (once).
    void watch(QTcpSocket* socket);
    Guard* guardOf(const QTcpSocket* socket) const;
    void acceptPages();
    void onMessage(Page& page, const QString& text);
    void sendReadings();
    void closePages(const std::function<bool(const Page&)>& which);

    ServerFeed feed_;
    int slowClientMs_;
    Pairing pairing_;
    std::unique_ptr<Http> http_;
    std::vector<QTcpServer*> servers_; // owned by http_
    std::vector<Guard*> guards_;       // one per open connection
    std::vector<QHostAddress> bound_;
    quint16 port_ = 0;
    bool tls_ = false;
    int connections_ = 0;
    std::vector<std::unique_ptr<Page>> pages_;
    std::unique_ptr<QTimer> sendTimer_;
    std::string lastSent_;
    std::int64_t lastSentMs_ = 0;
};

} // namespace kestle::remote
