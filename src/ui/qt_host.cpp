// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_host.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStatusBar>

namespace kestle::ui {

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString qtFilter(const std::string& filter) {
    // "Name (*.ext)|*.ext|..." pairs: Qt wants the names, one per ";;".
    const QStringList parts = q(filter).split('|');
    QStringList names;
    for (qsizetype i = 0; i < parts.size(); i += 2)
        names << parts[i];
    return names.join(";;");
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

void QtHost::fileDialog(const std::string& title, const std::string& filter,
                        std::function<void(std::optional<std::string>)> done) {
    auto* dlg = new QFileDialog(parent_, q(title), q(dialogFolder_.string()), qtFilter(filter));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without an extension takes the filter's first one.
    const QStringList parts = q(filter).split('|');
    if (parts.size() > 1 && parts[1].startsWith("*."))
        dlg->setDefaultSuffix(parts[1].mid(2).section(';', 0, 0));
    dlg->setWindowModality(Qt::ApplicationModal);
    QObject::connect(dlg, &QFileDialog::finished, dlg, [dlg, done = std::move(done)](int r) {
        if (!done)
            return;
        const QStringList files = dlg->selectedFiles();
        if (r == QDialog::Accepted && !files.isEmpty())
            done(files.first().toStdString());
        else
            done(std::nullopt);
    });
    dlg->open();
}

void QtHost::colorDialog(const std::string& title, std::uint32_t initial,
                         std::function<void(std::optional<std::uint32_t>)> done) {
    auto* dlg = new QColorDialog(QColor::fromRgb(initial & 0xFFFFFF), parent_);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(q(title));
    dlg->setWindowModality(Qt::ApplicationModal);
    QObject::connect(dlg, &QColorDialog::finished, dlg, [dlg, done = std::move(done)](int r) {
        if (!done)
            return;
        if (r == QDialog::Accepted)
            done(dlg->selectedColor().rgb() & 0xFFFFFF);
        else
            done(std::nullopt);
    });
    dlg->open();
}

void QtHost::status(const std::string& text) {
    if (statusBar_)
        statusBar_->showMessage(q(text));
}

bool QtHost::openWithDefaultProgram(const std::filesystem::path& p) {
    // xdg-open reports only when it ends whether a program took the file.
    auto* opener = new QProcess(this);
    const std::string what = p.string();
    auto failed = [this, what] { status("No program could open " + what); };
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, failed](int code, QProcess::ExitStatus how) {
                         if (code != 0 || how != QProcess::NormalExit)
                             failed();
                         opener->deleteLater();
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, failed](QProcess::ProcessError e) {
                         if (e == QProcess::FailedToStart) {
                             failed();
                             opener->deleteLater();
                         }
                     });
    opener->start("xdg-open", {q(what)});
    return true;
}

bool QtHost::startProgram(const std::filesystem::path& program) {
    return QProcess::startDetached(q(program.string()), {});
}

} // namespace kestle::ui
