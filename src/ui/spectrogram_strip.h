// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sound of a night under its plots: a strip per recording with its
// spectrogram (0 to 8 kHz, lowest at the bottom), placed at the recording's
// real time on the plots' time axis, with a bar under it that shows what
// has been heard. The overview draws the whole night; the detail, once a
// zoom asks for it and it has come, fills in. The frequency and time under
// the pointer are shown in the strip. Wheel and drag zoom and pan as on
// the plots. Window thread only.
#include "review/review_ledger.h"
#include "review/sound_analysis.h"

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestle::ui {

class SpectrogramStrips : public QWidget {
  public:
    struct Track {
        std::string file, name;
        std::int64_t fromMs = 0, lengthMs = 0; // session time of its first sample, its length
        std::shared_ptr<const review::SoundAnalysis> analysis; // null until analysed
        double floorDb = -90;
        double progress = 0; // of the analysis, 0..1
        std::string failure; // why it could not be analysed
        std::shared_ptr<const review::Spectrogram> detail;
        review::Spans heard; // ms within the recording
    };

    explicit SpectrogramStrips(QWidget* parent = nullptr);

    void setTracks(std::vector<Track> tracks);
    std::vector<Track>& tracks() { return tracks_; }
    // Redraws after a track changed (its analysis, detail, progress, heard).
    void trackChanged(std::size_t i);
    void setView(std::int64_t from, std::int64_t to);
    void setNight(bool night);

    // The frequency (Hz) at height `y` of a strip, and the session time at
    // `x`; nullopt outside the strips.
    std::optional<double> hzAt(int y) const;
    std::int64_t msAt(int x) const;
    // What the pointer is over: "1.25 kHz at 22:01:03.4 in NAME", or empty.
    const QString& pointerText() const { return pointer_; }
    // True when the view is narrow enough for the detail (the overview's
    // columns would be wider than two pixels), when `track`'s detail covers
    // what the view shows of it, and when it is shown.
    bool wantsDetail() const;
    bool detailCovers(std::size_t track) const;
    bool showsDetail(std::size_t track) const { return wantsDetail() && detailCovers(track); }

    std::function<void(double factor, std::int64_t at)> onZoom;
    std::function<void(double share)> onPan;
    std::function<void(std::size_t track, std::int64_t msInRecording)> onClicked;

    static constexpr int kStripHeight = 76, kBarHeight = 6, kGap = 4;

  protected:
    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;
    void changeEvent(QEvent* e) override;

  private:
    int left() const;
    int right() const;
    double xOf(std::int64_t ms) const;
    int trackAt(int y) const;
    void pointerAt(QPointF at);
    const QImage& overviewImage(std::size_t i);

    std::vector<Track> tracks_;
    std::vector<QImage> overviews_; // per track, built once per colour map
    std::vector<std::pair<std::shared_ptr<const review::Spectrogram>, QImage>>
        details_; // per track
    struct ViewKey {
        std::int64_t from = 0, to = 0;
        int width = 0;
        const review::Spectrogram* detail = nullptr;
        bool night = false;
        bool operator==(const ViewKey&) const = default;
    };
    std::vector<std::pair<ViewKey, QImage>> scaled_; // per track: what the view shows
    std::int64_t from_ = 0, to_ = 1;
    bool night_ = false;
    double dragFrom_ = 0, pressedAt_ = 0;
    QString pointer_;
};

} // namespace kestle::ui
