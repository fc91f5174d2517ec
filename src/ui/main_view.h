// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the menu bar built from the menu models (check marks only
// on the items the program checks, keyboard mnemonics, F10), the form
// scaled to the window, a status line, the scope and alignment drawings,
// the live picture, and the night view with its own menu.
#include "app/main_window.h"
#include "support/session_events.h"
#include "ui/form_view.h"
#include "ui/mark_box.h"
#include "ui/recording_indicator.h"
#include "ui/scaled_host.h"
#include "ui/theme.h"
#include "ui/video_preview.h"

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QPushButton;
class QScreen;

namespace kestle::ui {

// What the operator reads in the status line before the first reading.
inline constexpr const char* kStartHint = "Ask a question, or choose Constant, to read the Kestle";

class MainView : public QMainWindow {
  public:
    // `titleSuffix` is added to the caption (it marks a simulated Kestle).
    MainView(app::MainWindow& win, std::string titleSuffix);
    ~MainView() override;
    FormView& formView() { return *view_; }
    VideoPreview& preview() { return *preview_; }
    // The live picture goes to the main window's preview and to those
    // added here (the set-up form's); `p` is removed when it is destroyed.
    void addPreview(VideoPreview* p);
    // The set-up form's own live picture, below its tab strip.
    void addPreviewTo(FormView& setupForm);
    capture::PreviewTarget& previewTarget() { return previews_; }
    // What records, told by the session's recording events.
    RecordingIndicator& recordingIndicator() { return *recording_; }

    // The size to open at: the largest that fits `available` (a screen's
    // free area), keeping the form's proportions.
    QSize openingSize(const QSize& available) const;

    // The night view: the application's palette, which every window of
    // the program follows.
    void setNightView(bool on);
    bool nightView() const { return theme_.night(); }

    // The text size of the main display and the review box, in steps
    // (preferences.h); kept in the preferences.
    void setTextSizeStep(int step);
    int textSizeStep() const { return textStep_; }

    // The live chart that "View" > "Live Chart" shows and hides (not owned;
    // it may be deleted first).
    void setLiveChart(QWidget* chart);
    // What "View" > "Remote View..." opens (not owned); the item is
    // disabled until there is one.
    void setRemoteView(QWidget* dialog);
    // Each shows its window in front of this one, once this one is shown.
    void openLiveChart();
    void openRemoteView();

    // "Mark" (the key M, "View" > "Mark...", the button in the status
    // line, which covers no control of the form): opens the note box.
    MarkBox& markBox() { return *markBox_; }
    QPushButton& markButton() { return *markButton_; }

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void buildMenus();
    void addItems(QMenu* menu, forms::Control* parent);
    void refreshMenu(forms::Control* c);
    void buildViewMenu();
    void openInFront(QWidget* w);
    void applyTheme();
    void updateTitle();
    // Why closing now would cut something short; empty when nothing would be.
    QString running() const;

    app::MainWindow& win_;
    std::string titleSuffix_;
    FormView* view_;
    ScaledHost* host_;
    VideoPreview* preview_;
    PreviewFanOut previews_;
    RecordingIndicator* recording_;
    MarkBox* markBox_;
    QPushButton* markButton_;
    events::SessionEvents::Subscription recordings_;
    bool closeConfirmed_ = false;
    Theme theme_;
    QPalette dayPalette_;
    QAction* nightAction_ = nullptr;
    QAction* liveAction_ = nullptr;
    QPointer<QWidget> live_;
    QAction* remoteAction_ = nullptr;
    QPointer<QWidget> remote_;
    std::vector<QPointer<QWidget>> wantedInFront_; // shown once this window shows
    int textStep_ = 0;
    QPointer<QScreen> sizedFor_; // the screen the window was last sized for
    std::map<forms::Control*, QAction*> actions_;
    std::map<forms::Control*, QMenu*> menus_;
    std::map<forms::Control*, QString> captions_; // with their mnemonics
};

// The operator's actions on a view's controls reach the window's journal hook.
void reportActionsTo(FormView& view, app::MainWindow& win);

// A top-level window for a secondary form (disclaimer, About, set-up).
class DialogView : public QWidget {
  public:
    // With a `parent` the window stays above it (a tool window of the main
    // window) and first opens beside it where the screen has room; it is
    // never modal. It scales with its size like the main window.
    // Enter presses the focused button, else the form's default (see
    // formKeys); Escape closes the window as its close button does.
    DialogView(forms::Form& form, const Layout& layout, int widthTwips, int heightTwips,
               std::function<void()> onClose, QWidget* parent = nullptr);
    FormView& formView() { return *view_; }

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    forms::Form& form_;
    std::function<void()> onClose_;
    FormView* view_;
    QPushButton* default_ = nullptr;
    bool placed_ = false;
};

} // namespace kestle::ui
