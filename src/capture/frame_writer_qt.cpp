// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG snapshots encoded with Qt.
#include "capture/capture_file.h"
#include "capture/frame_writer.h"
#include "support/worker_thread.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <atomic>
#include <unistd.h>

namespace kestle::capture {

namespace {

// A picture given before the end is still written, within this time.
constexpr auto kLastPictures = std::chrono::milliseconds(500);

class JpegWriter final : public FrameWriter {
  public:
    ~JpegWriter() override { worker_.drain(kLastPictures); }

    void write(std::shared_ptr<const VideoFrame> frame, std::string path,
               std::function<void(std::string, std::string)> done) override {
        worker_.post(
            [this, frame = std::move(frame), path = std::move(path), done = std::move(done)] {
                std::string error;
                std::string stored = store(*frame, path, error);
                if (done)
                    done(stored, error);
            });
    }

  private:
    std::string store(const VideoFrame& f, const std::string& path, std::string& error) {
        // Written whole beside its final name, then given that name.
        const auto slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
        const std::string temp = folder + "/.kestle-snapshot-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(++count_) + ".part";
        const QImage img(f.pixels, f.width, f.height, f.stride, QImage::Format_RGB32);
        QFile file(QString::fromStdString(temp));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            error = file.errorString().toStdString();
            return {};
        }
        QImageWriter writer(&file, "jpg");
        writer.setQuality(kSnapshotQuality);
        const bool ok = writer.write(img) && file.flush();
        file.close();
        if (!ok) {
            error = writer.errorString().toStdString();
            ::unlink(temp.c_str());
            return {};
        }
        return publishFile(temp, path, error);
    }

    std::atomic<unsigned> count_{0};
    WorkerThread worker_; // last: it ends before the members it uses
};

} // namespace

std::unique_ptr<FrameWriter> makeJpegWriter() {
    return std::make_unique<JpegWriter>();
}

} // namespace kestle::capture
