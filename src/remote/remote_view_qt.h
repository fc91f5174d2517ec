// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The remote view of one run: a RemoteServer fed from the main window (its
// displays, the question being answered and its time left, whether the
// unit answers) whose marks go into the session as the paired device's.
// Started from the command line or the window's dialog; off until then.
// Window thread only; the window outlives it.
#include "app/main_window.h"
#include "remote/http_rules.h"
#include "remote/remote_server_qt.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kestle::remote {

// The machine's private-network addresses (IPv4 first), loopback last.
std::vector<QHostAddress> privateAddresses();
// Where `where` listens: its address (any address the operator names), or
// privateAddresses(). Errors for an address that cannot be read.
Result<std::vector<QHostAddress>> listenAddresses(const app::ListenAt& where);
// The certificate's file, beside the preferences (never in Kestle.ini's folder).
std::filesystem::path certificateFile();

// A page shows an alarm this long after the limits last tripped (they are
// checked at every reading, so a lasting alarm stays shown).
inline constexpr std::int64_t kAlarmShownMs = 30'000;

class RemoteView {
  public:
    explicit RemoteView(app::MainWindow& win);
    RemoteView(const RemoteView&) = delete;
    RemoteView& operator=(const RemoteView&) = delete;

    // Starts (or restarts) listening; `plain` serves HTTP without TLS.
    Status start(const app::ListenAt& where, bool plain);
    void stop();
    RemoteServer& server() { return server_; }
    // The certificate's SHA-256 fingerprint; empty over plain HTTP.
    const std::string& fingerprint() const { return fingerprint_; }
    // The pairing link for each address listened on, the first the best
    // guess of the one a phone reaches.
    std::vector<std::string> pairingUrls() const;

  private:
    Snapshot readings() const;

    app::MainWindow& win_;
    bool plugged_ = false;
    std::string question_;
    std::int64_t askedMs_ = 0;
    std::string alarm_; // the newest alarm's lines
    std::int64_t alarmMs_ = 0;
    events::SessionEvents::Subscription events_;
    RemoteServer server_;
    std::string fingerprint_;
};

} // namespace kestle::remote
