#pragma once
// The main window: the menu bar built from the menu models, the controls of
// the main form, a status line, and the scope drawing.
#include "app/main_window.h"
#include "ui/form_view.h"
#include "ui/video_preview.h"

#include <QMainWindow>
#include <map>

class QAction;
class QMenu;

namespace kestle::ui {

class MainView : public QMainWindow {
  public:
    // `titleSuffix` is added to the caption (it marks a simulated Kestle).
    MainView(app::MainWindow& win, std::string titleSuffix);
    ~MainView() override;
    FormView& formView() { return *view_; }
    VideoPreview& preview() { return *preview_; }

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void buildMenus();
    void addItems(QMenu* menu, forms::Control* parent);
    void refreshMenu(forms::Control* c);

    app::MainWindow& win_;
    std::string titleSuffix_;
    FormView* view_;
    VideoPreview* preview_;
    std::map<forms::Control*, QAction*> actions_;
    std::map<forms::Control*, QMenu*> menus_;
};

// A top-level window for a secondary form (disclaimer, About).
class DialogView : public QWidget {
  public:
    // With a `parent` the window stays above it (a tool window of the main
    // window) and first opens beside it where the screen has room; it is
    // never modal.
    DialogView(forms::Form& form, const Layout& layout, int widthTwips, int heightTwips,
               std::function<void()> onClose, QWidget* parent = nullptr);

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    forms::Form& form_;
    std::function<void()> onClose_;
    bool placed_ = false;
};

} // namespace kestle::ui
