#pragma once
// The audio and video capture controls, with the operations the main window
// uses. Backends: a recorder of the calls (headless, and until a device
// backend is chosen) and the GStreamer backends. Window thread only.
#include <functional>
#include <string>

namespace kestle::capture {

class AudioControl {
  public:
    virtual ~AudioControl() = default;
    virtual void setCaptureFileName(const std::string& path) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
};

class VideoControl {
  public:
    virtual ~VideoControl() = default;
    virtual void setVisible(bool on) = 0;
    virtual void setCaptureFileName(const std::string& path) = 0;
    virtual void setCaptureToFile(bool on) = 0;
    virtual void setPreviewWhenCapture(bool on) = 0;
    virtual void setShowDateTime(bool on) = 0;
    // 0 when started; -1 wrong compressor or file cannot be opened; -2 file not found.
    virtual int start() = 0;
    virtual void stop() = 0;
    virtual void snapShot(const std::string& path) = 0;
};

using CallSink = std::function<void(const std::string& line)>;

// Prints every call as one line: CAPTURE Audio.Start,
// CAPTURE Audio.CaptureFileName = "path".
class CallLogAudio : public AudioControl {
  public:
    explicit CallLogAudio(CallSink sink) : sink_(std::move(sink)) {}
    void setCaptureFileName(const std::string& path) override;
    void start() override;
    void stop() override;
    void pause() override;
    void resume() override;

  private:
    CallSink sink_;
};

class CallLogVideo : public VideoControl {
  public:
    explicit CallLogVideo(CallSink sink) : sink_(std::move(sink)) {}
    void setVisible(bool on) override;
    void setCaptureFileName(const std::string& path) override;
    void setCaptureToFile(bool on) override;
    void setPreviewWhenCapture(bool on) override;
    void setShowDateTime(bool on) override;
    int start() override;
    void stop() override;
    void snapShot(const std::string& path) override;

  private:
    CallSink sink_;
};

} // namespace kestle::capture
