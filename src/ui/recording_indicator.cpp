// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/recording_indicator.h"

#include "ui/theme.h"

#include <QEvent>
#include <QMetaObject>

#include <chrono>
#include <filesystem>

namespace kestle::ui {

namespace {

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

RecordingIndicator::RecordingIndicator(QWidget* parent) : QLabel(parent) {
    setObjectName("recordingIndicator");
    tick_.setInterval(1000);
    QObject::connect(&tick_, &QTimer::timeout, this, [this] {
        measure();
        refresh();
    });
    hide();
}

RecordingIndicator::~RecordingIndicator() {
    lifetime_.end();
}

void RecordingIndicator::notice(const capture::RecordingNotice& n) {
    monitor_.notice(n, nowMs());
    if (monitor_.recording()) {
        if (!tick_.isActive())
            tick_.start();
        measure();
    } else {
        tick_.stop();
    }
    refresh();
}

void RecordingIndicator::measure() {
    if (measuring_ || !monitor_.recording())
        return;
    measuring_ = true;
    std::vector<std::string> files;
    for (const auto& r : monitor_.running())
        files.push_back(r.file);
    worker_.post(lifetime_.guard([this, files] {
        namespace fs = std::filesystem;
        std::vector<std::uint64_t> sizes;
        std::error_code ec;
        for (const std::string& f : files) {
            const auto n = fs::file_size(f, ec);
            sizes.push_back(ec ? 0 : n);
        }
        const auto space = fs::space(fs::path(files.front()).parent_path(), ec);
        const std::uint64_t free = ec ? 0 : space.available;
        QMetaObject::invokeMethod(
            this,
            [this, files, sizes, free] {
                measuring_ = false;
                // Only when the same files still run: else the next tick measures.
                const auto& running = monitor_.running();
                if (running.size() != files.size())
                    return;
                for (std::size_t i = 0; i < files.size(); ++i)
                    if (running[i].file != files[i])
                        return;
                monitor_.measured(sizes, free, nowMs());
                refresh();
            },
            Qt::QueuedConnection);
    }));
}

void RecordingIndicator::refresh() {
    if (!monitor_.recording()) {
        hide();
        return;
    }
    setText(QString::fromStdString(monitor_.text(nowMs())));
    // Red as a recording light; brighter when the disk is nearly full.
    const Theme t = Theme::current();
    const bool warn = monitor_.warning();
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, t.night() ? t.text(warn ? forms::kRed : forms::kBlack)
                                                 : QColor(warn ? 0xD00000 : 0x902000));
    setPalette(pal);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setVisible(true);
}

void RecordingIndicator::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ApplicationPaletteChange)
        refresh();
    QLabel::changeEvent(e);
}

} // namespace kestle::ui
