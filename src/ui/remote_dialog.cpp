// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/remote_dialog.h"

#include "remote/qr_code.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestle::ui {

QPixmap qrPicture(const std::string& text, int module) {
    auto code = remote::qrCode(text);
    if (!code)
        return {};
    constexpr int quiet = 4; // modules of light border a reader needs
    const int side = (code->size + 2 * quiet) * module;
    QPixmap p(side, side);
    p.fill(Qt::white); // dark on light in every view: phones read only that
    QPainter g(&p);
    for (int y = 0; y < code->size; ++y)
        for (int x = 0; x < code->size; ++x)
            if (code->at(x, y))
                g.fillRect((x + quiet) * module, (y + quiet) * module, module, module, Qt::black);
    return p;
}

RemoteDialog::RemoteDialog(remote::RemoteView& view, QWidget* parent)
    : QWidget(parent, Qt::Tool), view_(view) {
    setWindowTitle("Remote View");
    auto* top = new QVBoxLayout(this);
    auto* intro = new QLabel("Let a phone or another computer on this network follow the "
                             "session and put marks into it. Open the link below on it, or "
                             "scan the code; each link pairs one device.");
    intro->setWordWrap(true);
    top->addWidget(intro);

    auto* form = new QFormLayout;
    port_ = new QSpinBox;
    port_->setRange(0, 65535);
    port_->setSpecialValueText("any free port");
    form->addRow("Port:", port_);
    plain_ = new QCheckBox("Plain HTTP, not encrypted");
    form->addRow("", plain_);
    top->addLayout(form);
    plainWarning_ = new QLabel("Without encryption anyone on this network can read the "
                               "readings, the marks and the pairing link.");
    plainWarning_->setWordWrap(true);
    plainWarning_->setStyleSheet("color: #c00000; font-weight: bold");
    plainWarning_->setVisible(false);
    top->addWidget(plainWarning_);
    connect(plain_, &QCheckBox::toggled, plainWarning_, &QWidget::setVisible);

    auto* row = new QHBoxLayout;
    start_ = new QPushButton("Start");
    connect(start_, &QPushButton::clicked, this, [this] {
        if (view_.server().listening())
            stopServing();
        else
            startServing();
    });
    state_ = new QLabel;
    row->addWidget(start_);
    row->addWidget(state_, 1);
    top->addLayout(row);
    error_ = new QLabel;
    error_->setWordWrap(true);
    error_->setStyleSheet("color: #c00000");
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(error_);

    address_ = new QComboBox;
    address_->setToolTip("The address the phone reaches this computer at");
    connect(address_, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    top->addWidget(address_);
    // The code beside the link and the fingerprint: the dialog stays low
    // enough for a laptop's screen.
    auto* code = new QHBoxLayout;
    qr_ = new QLabel;
    code->addWidget(qr_, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    link_ = new QLabel;
    link_->setWordWrap(true);
    link_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    texts->addWidget(link_);
    fingerprint_ = new QLabel;
    fingerprint_->setWordWrap(true);
    fingerprint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    texts->addWidget(fingerprint_);
    texts->addStretch();
    code->addLayout(texts, 1);
    top->addLayout(code);

    top->addWidget(new QLabel("Paired devices:"));
    devices_ = new QListWidget;
    devices_->setMinimumHeight(80);
    top->addWidget(devices_);
    auto* buttons = new QHBoxLayout;
    another_ = new QPushButton("Pair Another");
    drop_ = new QPushButton("Drop");
    connect(another_, &QPushButton::clicked, this, [this] { view_.server().pairAnother(); });
    connect(drop_, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* it = devices_->currentItem())
            view_.server().drop(it->data(Qt::UserRole).toInt());
    });
    connect(devices_, &QListWidget::currentRowChanged, this,
            [this](int row) { drop_->setEnabled(row >= 0); });
    buttons->addWidget(another_);
    buttons->addWidget(drop_);
    buttons->addStretch();
    top->addLayout(buttons);
    connect(&view_.server(), &remote::RemoteServer::changed, this, [this] { refresh(); });
    refresh();
}

void RemoteDialog::startServing() {
    app::ListenAt where;
    where.port = static_cast<std::uint16_t>(port_->value());
    startServing(where, plain_->isChecked());
}

void RemoteDialog::startServing(const app::ListenAt& where, bool plain) {
    port_->setValue(where.port);
    plain_->setChecked(plain);
    const Status s = view_.start(where, plain);
    error_->setText(s ? QString() : QString::fromStdString(s.error()));
    refresh();
}

void RemoteDialog::stopServing() {
    view_.stop();
    error_->clear();
    refresh();
}

void RemoteDialog::refresh() {
    const remote::RemoteServer& server = view_.server();
    const bool on = server.listening();
    start_->setText(on ? "Stop" : "Start");
    port_->setEnabled(!on);
    plain_->setEnabled(!on);
    state_->setText(on ? QString("Serving %1 on port %2")
                             .arg(server.tls() ? "HTTPS" : "plain HTTP")
                             .arg(server.port())
                       : QString("Off: nobody can follow the session."));
    // The addresses' choice, kept while they stay the same.
    const int chosen = std::max(0, address_->currentIndex());
    const auto urls = view_.pairingUrls();
    if (address_->count() != static_cast<int>(server.addresses().size())) {
        const QSignalBlocker quiet(address_);
        address_->clear();
        for (const QHostAddress& a : server.addresses())
            address_->addItem(a.toString());
        address_->setCurrentIndex(std::min(chosen, address_->count() - 1));
    }
    address_->setVisible(on && address_->count() > 1);
    const int i = address_->currentIndex();
    const std::string url =
        on && i >= 0 && i < static_cast<int>(urls.size()) ? urls[std::size_t(i)] : std::string();
    if (url.empty()) {
        qr_->clear();
        qr_->setMinimumSize(0, 0);
        link_->setText(on ? "The link was used. Choose \"Pair Another\" for the next device." : "");
    } else {
        const QPixmap code = qrPicture(url, 4);
        qr_->setPixmap(code);
        // Whole or not at all: the word-wrapped labels would squeeze it,
        // and a cut code does not scan.
        qr_->setMinimumSize(code.size());
        link_->setText(QString::fromStdString(url));
    }
    fingerprint_->setText(on && server.tls()
                              ? "Certificate SHA-256 (compare it with what the phone shows):\n" +
                                    QString::fromStdString(view_.fingerprint())
                              : QString());
    {
        const QSignalBlocker quiet(devices_);
        const int row = devices_->currentRow();
        devices_->clear();
        for (const remote::PairedDevice& d : server.devices()) {
            auto* it = new QListWidgetItem(QString::fromStdString(d.name + " \u2014 " + d.address));
            it->setData(Qt::UserRole, d.id);
            devices_->addItem(it);
        }
        devices_->setCurrentRow(std::min(row, devices_->count() - 1));
    }
    another_->setEnabled(on);
    drop_->setEnabled(devices_->currentItem() != nullptr);
    // No blank gaps where there is nothing to say.
    for (QLabel* l : {error_, link_, fingerprint_, qr_})
        l->setVisible(!l->text().isEmpty() || !l->pixmap().isNull());
    if (isVisible())
        growToFit();
}

void RemoteDialog::showEvent(QShowEvent* e) {
    growToFit();
    QWidget::showEvent(e);
}

void RemoteDialog::growToFit() {
    // The toolkit sizes a window at most two thirds of the screen and then
    // squeezes its word-wrapped labels over one another; the screen's
    // whole height is allowed here.
    layout()->activate();
    const int width = std::max(this->width(), sizeHint().width());
    const int height =
        layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width) : sizeHint().height();
    const QRect room = screen() ? screen()->availableGeometry() : QRect(0, 0, width, height);
    const QSize wanted(std::min(width, room.width()), std::min(height, room.height()));
    if (wanted.width() > this->width() || wanted.height() > this->height())
        resize(size().expandedTo(wanted));
}

} // namespace kestle::ui
