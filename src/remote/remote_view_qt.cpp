// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remote_view_qt.h"

#include "app/preference_file.h"
#include "device/hid_link.h"

#include <QNetworkInterface>

#include <algorithm>
#include <chrono>

namespace kestle::remote {

namespace {

bool isPrivate(const QHostAddress& a) {
    if (a.protocol() == QAbstractSocket::IPv4Protocol)
        return isPrivateIPv4(a.toIPv4Address());
    if (a.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    const Q_IPV6ADDR v6 = a.toIPv6Address();
    std::array<std::uint8_t, 16> bytes{};
    std::copy(std::begin(v6.c), std::end(v6.c), bytes.begin());
    return isPrivateIPv6(bytes);
}

std::int64_t epochMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

std::vector<QHostAddress> privateAddresses() {
    std::vector<QHostAddress> out;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        // Link-local IPv6 needs a zone that browsers do not take in a link.
        if (isPrivate(a) && !a.isLoopback() && !a.isLinkLocal())
            out.push_back(a);
    std::stable_sort(out.begin(), out.end(), [](const QHostAddress& x, const QHostAddress& y) {
        return x.protocol() == QAbstractSocket::IPv4Protocol &&
               y.protocol() != QAbstractSocket::IPv4Protocol;
    });
    // This machine itself last: a second browser here can follow too.
    out.push_back(QHostAddress(QHostAddress::LocalHost));
    return out;
}

Result<std::vector<QHostAddress>> listenAddresses(const app::ListenAt& where) {
    if (where.address.empty())
        return privateAddresses();
    QHostAddress a;
    if (!a.setAddress(QString::fromStdString(where.address)))
        return Error{"--remote: \"" + where.address + "\" is not an IP address"};
    return std::vector<QHostAddress>{a};
}

std::filesystem::path certificateFile() {
    return app::preferencesFile().parent_path() / "remote-certificate.pem";
}

RemoteView::RemoteView(app::MainWindow& win)
    : win_(win), plugged_(win.link().getHandle(device::kVendorId, device::kProductId) !=
                          device::DeviceHandle{}),
      server_({[this] { return readings(); },
               [this](const std::string& note, const std::string& by) { win_.mark(note, by); }}) {
    events_ = win_.events().subscribe([this](const events::Event& e) {
        if (std::holds_alternative<events::Plug>(e))
            plugged_ = true;
        else if (std::holds_alternative<events::Unplug>(e))
            plugged_ = false;
        else if (const auto* a = std::get_if<events::Alarm>(&e)) {
            alarm_ = alarmLines(a->text);
            alarmMs_ = win_.scheduler().nowMs();
        } else if (const auto* q = std::get_if<events::Question>(&e)) {
            question_ = q->text;
            while (!question_.empty() && (question_.back() == '\n' || question_.back() == '\r'))
                question_.pop_back();
            askedMs_ = win_.scheduler().nowMs();
        }
    });
}

Status RemoteView::start(const app::ListenAt& where, bool plain) {
    auto addresses = listenAddresses(where);
    if (!addresses)
        return Error{addresses.error()};
    std::optional<Certificate> tls;
    fingerprint_.clear();
    if (!plain) {
        auto made = loadOrMakeCertificate(certificateFile());
        if (!made)
            return Error{made.error()};
        fingerprint_ = made->fingerprint;
        tls = std::move(*made);
    }
    return server_.start(*addresses, where.port, std::move(tls));
}

void RemoteView::stop() {
    server_.stop();
}

std::vector<std::string> RemoteView::pairingUrls() const {
    std::vector<std::string> out;
    for (const QHostAddress& a : server_.addresses())
        out.push_back(server_.pairingUrl(a));
    return out;
}

Snapshot RemoteView::readings() const {
    forms::MainForm& f = win_.main();
    Snapshot s = readSnapshot(f, plugged_, epochMs());
    // The question box holds what is being typed; the one being answered
    // is the last asked, while its answer time runs.
    s.question.clear();
    const std::int64_t now = win_.scheduler().nowMs();
    if (!alarm_.empty() && now - alarmMs_ < kAlarmShownMs)
        s.alarm = alarm_;
    if (f.asktimer->enabled() && !question_.empty()) {
        s.question = question_;
        const std::int64_t left = f.asktimer->interval() - (now - askedMs_);
        s.secondsLeft = static_cast<int>(std::max<std::int64_t>(0, (left + 999) / 1000));
    }
    return s;
}

} // namespace kestle::remote
