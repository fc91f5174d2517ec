// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "View" > "Remote View...": starts and stops the remote view, shows the
// pairing link with its QR code and the certificate's fingerprint, lists
// the paired devices (each can be dropped) and makes a new link for
// another device. A tool window, never modal. Window thread only.
#include "remote/remote_view_qt.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace kestle::ui {

// The QR code of `text` as a picture with its quiet zone, `module` pixels
// a module; a null picture when the text does not fit a code.
QPixmap qrPicture(const std::string& text, int module);

class RemoteDialog : public QWidget {
  public:
    // `view` outlives the dialog; `parent` is the main window.
    RemoteDialog(remote::RemoteView& view, QWidget* parent);

    // Starts listening as the controls say; the error, if any, is shown.
    void startServing();
    // The same as the command line asks (its address too); the controls
    // are set to match.
    void startServing(const app::ListenAt& where, bool plain);
    void stopServing();

    QPushButton& startButton() { return *start_; }
    QPushButton& pairAnotherButton() { return *another_; }
    QPushButton& dropButton() { return *drop_; }
    QListWidget& deviceList() { return *devices_; }
    QCheckBox& plainBox() { return *plain_; }
    QLabel& linkLabel() { return *link_; }
    QLabel& qrLabel() { return *qr_; }
    QLabel& fingerprintLabel() { return *fingerprint_; }
    QLabel& errorLabel() { return *error_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void refresh();
    // Large enough for its contents, as far as the screen allows.
    void growToFit();

    remote::RemoteView& view_;
    QSpinBox* port_;
    QCheckBox* plain_;
    QLabel* plainWarning_;
    QPushButton* start_;
    QComboBox* address_;
    QLabel *qr_, *link_, *fingerprint_, *error_, *state_;
    QListWidget* devices_;
    QPushButton *another_, *drop_;
};

} // namespace kestle::ui
