#include "ui/qt_host.h"

#include <QDesktopServices>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStatusBar>
#include <QUrl>

namespace kestle::ui {

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

void QtHost::messageBox(const std::string& title, const std::string& text,
                        std::function<void()> done) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, q(title), q(text), QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box, [done = std::move(done)](int) {
        if (done)
            done();
    });
    box->open();
}

void QtHost::inputBox(const std::string& title, const std::string& prompt,
                      const std::string& proposed,
                      std::function<void(std::optional<std::string>)> done) {
    auto* dlg = new QInputDialog(parent_);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(q(title));
    dlg->setLabelText(q(prompt));
    dlg->setTextValue(q(proposed));
    dlg->setWindowModality(Qt::ApplicationModal);
    QObject::connect(dlg, &QInputDialog::finished, dlg, [dlg, done = std::move(done)](int r) {
        if (!done)
            return;
        if (r == QDialog::Accepted)
            done(dlg->textValue().toStdString());
        else
            done(std::nullopt);
    });
    dlg->open();
}

void QtHost::status(const std::string& text) {
    if (statusBar_)
        statusBar_->showMessage(q(text));
}

void QtHost::event(const std::string&) {}

bool QtHost::openWithDefaultProgram(const std::filesystem::path& p) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(q(p.string())));
}

bool QtHost::startProgram(const std::filesystem::path& program) {
    return QProcess::startDetached(q(program.string()), {});
}

} // namespace kestle::ui
