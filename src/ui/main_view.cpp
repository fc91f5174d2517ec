// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_view.h"

#include "forms/layout_math.h"
#include "ui/drawings.h"
#include "ui/layouts.h"
#include "ui/live_chart.h"
#include "ui/preferences.h"
#include "ui/review_window.h"
#include "ui/screen_fit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestle::ui {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// The captions of a menu level with their keyboard mnemonics.
std::vector<QString> marked(const std::vector<forms::Control*>& items) {
    std::vector<std::string> texts;
    for (forms::Control* c : items)
        texts.push_back(c->text());
    std::vector<QString> out;
    for (const std::string& t : forms::withMnemonics(texts))
        out.push_back(q(t));
    return out;
}

std::vector<forms::Control*> topMenus(forms::Form& f) {
    std::vector<forms::Control*> r;
    for (forms::Control* c : f.controls())
        if (c->kind() == forms::Kind::Menu && !c->parent())
            r.push_back(c);
    return r;
}

} // namespace

void reportActionsTo(FormView& view, app::MainWindow& win) {
    view.onOperatorAction = [&win](forms::Control& c, std::string_view verb, std::string_view arg) {
        win.operatorAction(c, verb, arg);
    };
}

MainView::MainView(app::MainWindow& win, std::string titleSuffix)
    : win_(win), titleSuffix_(std::move(titleSuffix)), dayPalette_(QApplication::palette()) {
    view_ = new FormView(win.main(), mainLayout(), kMainWidth, kMainHeight);
    reportActionsTo(*view_, win);
    host_ = new ScaledHost(view_, this);
    setCentralWidget(host_);
    view_->setTopmost("Frame7");
    updateTitle();
    buildMenus();
    buildViewMenu();
    for (const Caption& c : mainCaptions())
        view_->addCaption(c.frame, c.text, c.left, c.top);
    // The design's own colours and text sizes.
    view_->setColors("main_display", 0x7CFC9A, 0x101418);
    view_->setFitLines("main_display", 15);
    view_->setColors("FREQA", std::nullopt, forms::kBlack);
    view_->setColors("FREQB", std::nullopt, forms::kBlack);
    view_->setColors("Frame7", std::nullopt, 0xE8E4DA);
    view_->setColors("calmag", std::nullopt, 0xF4F2EC);
    view_->setColors("Label3", 0xB00000, std::nullopt);
    view_->setColors("alarmdisplay", 0xB00000, std::nullopt); // alarms read as alarms
    view_->setTextStyle("Label3", 48, true, "Arial");
    // The live picture stands below the alarm window, which may share its room.
    preview_ = new VideoPreview;
    view_->addWidget(preview_, {kPreviewLeft, kPreviewTop, kPreviewWidth, kPreviewHeight});
    if (QWidget* alarms = view_->widgetFor("alarmdisplay"))
        preview_->stackUnder(alarms);
    previews_.add(preview_);
    win.video().setPreviewTarget(&previews_);
    // What records shows in the status line, which the alarm window never covers.
    recording_ = new RecordingIndicator;
    statusBar()->addPermanentWidget(recording_);
    markBox_ = new MarkBox(win, this);
    markButton_ = new QPushButton("Mark");
    markButton_->setObjectName("markButton");
    markButton_->setFocusPolicy(Qt::NoFocus); // the question box keeps the keys
    markButton_->setToolTip("Put a mark into the session (M)");
    statusBar()->addPermanentWidget(markButton_);
    QObject::connect(markButton_, &QPushButton::clicked, this, [this] { markBox_->open(); });
    recordings_ = win.events().subscribe([this](const events::Event& e) {
        auto source = [](events::Media m) {
            return m == events::Media::Audio ? capture::CaptureError::Source::Audio
                                             : capture::CaptureError::Source::Video;
        };
        if (const auto* s = std::get_if<events::RecordingStarted>(&e))
            recording_->notice({source(s->media), false, s->file, {}});
        else if (const auto* f = std::get_if<events::RecordingFinished>(&e))
            recording_->notice({source(f->media), true, f->file, f->problem});
    });
    view_->setPainter(
        "oscope", [this](QWidget& w) { paintScope(w, win_.acquisition().scopeLines(), theme_); });
    view_->setPainter("Picture1", [this](QWidget& w) { paintNorthPicture(w, theme_); });
    win.main().observe([this](forms::Control* c) {
        if (!c) {
            updateTitle();
            const bool shown = win_.main().shown();
            if (shown && !isVisible())
                statusBar()->showMessage(kStartHint);
            setVisible(shown);
        } else if (c->kind() == forms::Kind::Menu) {
            refreshMenu(c);
        } else if (c == win_.main().speechtimer && c->enabled() &&
                   statusBar()->currentMessage() == kStartHint) {
            statusBar()->clearMessage(); // readings have begun
        }
    });
    // F10 opens the menu bar, as Alt and a menu's letter do.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    QObject::connect(f10, &QShortcut::activated, this, [this] {
        for (QAction* a : menuBar()->actions())
            if (a->isVisible() && a->isEnabled()) {
                menuBar()->setActiveAction(a);
                return;
            }
    });
    installNightView();
    keepWindowsOnScreen();
    theme_ = Theme(nightViewPreferred());
    applyTheme();
    // The text size the operator chose last.
    view_->setFollowsTextSize("main_display");
    view_->setFollowsTextSize("veiwlog");
    setTextSizeStep(ui::textSizeStep());
}

MainView::~MainView() {
    win_.video().setPreviewTarget(nullptr);
}

void MainView::updateTitle() {
    // A caption the program sets ("Audio Recording On") keeps its name beside it.
    std::string title = win_.main().caption();
    if (title != forms::kMainCaption)
        title += std::string(" - ") + forms::kMainCaption;
    setWindowTitle(q(title + titleSuffix_));
}

void MainView::addPreview(VideoPreview* p) {
    previews_.add(p);
    QObject::connect(p, &QObject::destroyed, this, [this, p] { previews_.remove(p); });
}

void MainView::addPreviewTo(FormView& setupForm) {
    // Shown while there is no picture, under where it will be.
    setupForm.addCaption("", "The live picture shows here after Preview", kSetupPreview.left + 120,
                         kSetupPreview.top + kSetupPreview.height / 2);
    auto* p = new VideoPreview;
    setupForm.addWidget(p, kSetupPreview);
    addPreview(p);
}

QString MainView::running() const {
    QStringList what;
    const forms::MainForm& f = win_.main();
    if (f.speechtimer->enabled() || f.htime->enabled())
        what << "a session is running";
    if (recording_->monitor().recording())
        what << "a recording is running";
    return what.join(" and ");
}

QSize MainView::openingSize(const QSize& available) const {
    const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    const double s =
        forms::fitScale(available.width() * 9 / 10, (available.height() - chrome) * 9 / 10,
                        kMainWidth, kMainHeight);
    const QSize form = view_->sizeAt(s);
    return {form.width(), form.height() + chrome};
}

void MainView::buildMenus() {
    const std::vector<forms::Control*> tops = topMenus(win_.main());
    const std::vector<QString> titles = marked(tops);
    for (std::size_t i = 0; i < tops.size(); ++i) {
        QMenu* m = menuBar()->addMenu(titles[i]);
        menus_[tops[i]] = m;
        captions_[tops[i]] = titles[i];
        addItems(m, tops[i]);
        refreshMenu(tops[i]);
    }
}

void MainView::addItems(QMenu* menu, forms::Control* parent) {
    const std::vector<QString> captions = marked(parent->children());
    for (std::size_t i = 0; i < parent->children().size(); ++i) {
        forms::Control* c = parent->children()[i];
        captions_[c] = captions[i];
        if (!c->children().empty()) {
            QMenu* sub = menu->addMenu(captions[i]);
            menus_[c] = sub;
            addItems(sub, c);
        } else {
            QAction* a = menu->addAction(captions[i]);
            // Only the items the program checks show a check mark.
            a->setCheckable(c->checkable());
            actions_[c] = a;
            QObject::connect(a, &QAction::triggered, a, [this, c] {
                if (c->reachable()) {
                    win_.operatorAction(*c, "click");
                    c->click();
                }
                refreshMenu(c); // the handler owns the check mark, not the toolkit
                view_->flushSoon();
            });
        }
        refreshMenu(c);
    }
}

void MainView::refreshMenu(forms::Control* c) {
    QString& caption = captions_[c];
    if (forms::withoutMnemonic(caption.toStdString()) != c->text())
        caption = q(forms::withMnemonics({c->text()})[0]);
    if (auto it = actions_.find(c); it != actions_.end()) {
        QAction* a = it->second;
        a->setText(caption);
        if (c->checkable())
            a->setChecked(c->checked());
        a->setEnabled(c->enabled());
        a->setVisible(c->visible());
    }
    if (auto it = menus_.find(c); it != menus_.end()) {
        QMenu* m = it->second;
        m->setTitle(caption);
        m->setEnabled(c->enabled());
        m->menuAction()->setEnabled(c->enabled());
        m->menuAction()->setVisible(c->visible());
    }
}

// A menu of the program's own beside the form's menus, never locked.
void MainView::buildViewMenu() {
    QMenu* view = menuBar()->addMenu("&View");
    nightAction_ = view->addAction("&Night View");
    nightAction_->setCheckable(true);
    nightAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    nightAction_->setShortcutContext(Qt::ApplicationShortcut);
    addAction(nightAction_); // the shortcut works while the menu bar is locked
    QObject::connect(nightAction_, &QAction::triggered, this, [this](bool on) {
        setNightView(on);
        preferNightView(on);
    });
    // Larger and smaller text for the main display and the review box.
    QAction* larger = view->addAction("Larger &Text");
    larger->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    QObject::connect(larger, &QAction::triggered, this, [this] {
        setTextSizeStep(textStep_ + 1);
        preferTextSizeStep(textStep_);
    });
    QAction* smaller = view->addAction("&Smaller Text");
    smaller->setShortcuts({QKeySequence::ZoomOut});
    QObject::connect(smaller, &QAction::triggered, this, [this] {
        setTextSizeStep(textStep_ - 1);
        preferTextSizeStep(textStep_);
    });
    for (QAction* a : {larger, smaller}) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        addAction(a);
    }
    view->addSeparator();
    // Checked while the live chart is open; choosing it opens it in front,
    // or closes it.
    liveAction_ = view->addAction("&Live Chart");
    liveAction_->setCheckable(true);
    liveAction_->setEnabled(false); // until there is one
    QObject::connect(liveAction_, &QAction::triggered, this, [this](bool open) {
        if (open)
            openLiveChart();
        else if (live_)
            live_->hide();
    });
    // A plain M: a text box that has the keys takes it as a letter first.
    QAction* mark = view->addAction("&Mark...");
    mark->setShortcut(QKeySequence(Qt::Key_M));
    mark->setShortcutContext(Qt::WindowShortcut);
    addAction(mark); // the key works while the menu bar is locked
    QObject::connect(mark, &QAction::triggered, this, [this] { markBox_->open(); });
    remoteAction_ = view->addAction("Remote &View...");
    remoteAction_->setEnabled(false); // until there is one
    QObject::connect(remoteAction_, &QAction::triggered, this, [this] { openRemoteView(); });
    view->addAction("&Review Session...", this,
                    [this] { chooseSessionToReview(this, win_.paths().dataDir / "Sessions"); });
}

void MainView::setTextSizeStep(int step) {
    textStep_ = std::clamp(step, kSmallestTextStep, kLargestTextStep);
    view_->setTextSize(std::pow(1.2, textStep_));
}

void MainView::setLiveChart(QWidget* chart) {
    if (live_)
        live_->removeEventFilter(this);
    live_ = chart;
    liveAction_->setEnabled(chart != nullptr);
    if (chart)
        chart->installEventFilter(this);
}

void MainView::setRemoteView(QWidget* dialog) {
    remote_ = dialog;
    remoteAction_->setEnabled(dialog != nullptr);
}

void MainView::openLiveChart() {
    openInFront(live_);
}

void MainView::openRemoteView() {
    openInFront(remote_);
}

void MainView::openInFront(QWidget* w) {
    if (!w)
        return;
    if (!isVisible()) {
        // In front of this window, not behind it or beside the disclaimer.
        if (std::find(wantedInFront_.begin(), wantedInFront_.end(), w) == wantedInFront_.end())
            wantedInFront_.emplace_back(w);
        return;
    }
    w->show();
    w->raise();
    w->activateWindow();
}

bool MainView::eventFilter(QObject* o, QEvent* e) {
    // The check mark says whether the live chart is open, however it closed.
    if (o == live_ && (e->type() == QEvent::Show || e->type() == QEvent::Hide))
        liveAction_->setChecked(e->type() == QEvent::Show);
    return QMainWindow::eventFilter(o, e);
}

void MainView::setNightView(bool on) {
    theme_ = Theme(on);
    applyTheme();
}

void MainView::applyTheme() {
    QApplication::setPalette(theme_.palette(dayPalette_));
    nightAction_->setChecked(theme_.night());
    view_->setTheme(theme_);
    host_->update();
    preview_->setTheme(theme_);
}

void MainView::showEvent(QShowEvent* e) {
    // The first time on a screen: as large as fits its free area.
    if (screen() && screen() != sizedFor_) {
        sizedFor_ = screen();
        resize(openingSize(screen()->availableGeometry().size()));
        keepOnScreen(*this);
    }
    QMainWindow::showEvent(e);
    for (const QPointer<QWidget>& w : std::exchange(wantedInFront_, {}))
        QTimer::singleShot(0, this, [this, w] { openInFront(w); });
}

void MainView::closeEvent(QCloseEvent* e) {
    // Closing while a session or a recording runs asks first (never by a
    // nested event loop: the answer closes the window again); once closing,
    // the unload handler runs and is never cancelled.
    const QString why = running();
    if (!win_.ended() && !closeConfirmed_ && !why.isEmpty()) {
        e->ignore();
        auto* ask =
            new QMessageBox(QMessageBox::Warning, "Close the Kestle?",
                            "Now " + why + ": closing ends it.", QMessageBox::NoButton, this);
        ask->setObjectName("confirmClose");
        QPushButton* close = ask->addButton("Close", QMessageBox::DestructiveRole);
        ask->addButton(QMessageBox::Cancel);
        ask->setDefaultButton(QMessageBox::Cancel);
        ask->setEscapeButton(QMessageBox::Cancel);
        ask->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(ask, &QMessageBox::buttonClicked, this, [this, close](QAbstractButton* b) {
            if (b != close)
                return;
            closeConfirmed_ = true;
            QTimer::singleShot(0, this, [this] { this->close(); });
        });
        ask->open();
        return;
    }
    if (!win_.ended())
        win_.Form_Unload();
    e->accept();
}

DialogView::DialogView(forms::Form& form, const Layout& layout, int widthTwips, int heightTwips,
                       std::function<void()> onClose, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form), onClose_(std::move(onClose)) {
    view_ = new FormView(form, layout, widthTwips, heightTwips);
    auto* host = new ScaledHost(view_, this);
    auto* grid = new QVBoxLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(host);
    resize(view_->sizeAt(1));
    setWindowTitle(q(form.caption()));
    const FormKeys keys = formKeys(form.name());
    for (const char* name : keys.readOnly)
        view_->setReadOnly(name);
    if (keys.defaultButton) {
        default_ = qobject_cast<QPushButton*>(view_->widgetFor(keys.defaultButton));
        if (default_)
            default_->setDefault(true);
    }
    form.observe([this](forms::Control* c) {
        if (!c) {
            setWindowTitle(q(form_.caption()));
            setVisible(form_.shown());
        }
    });
}

void DialogView::showEvent(QShowEvent* e) {
    QWidget* owner = parentWidget();
    if (!placed_ && owner && owner->isVisible()) {
        placed_ = true;
        // Beside the main window, so that its live picture stays in sight;
        // else over it, on its screen.
        setScreen(owner->screen());
        const QRect main = owner->frameGeometry();
        const QRect room = owner->screen()->availableGeometry();
        if (main.right() + 8 + frameGeometry().width() <= room.right())
            move(main.right() + 8, main.top());
        else
            move(main.topLeft() + QPoint(40, 40));
        keepOnScreen(*this);
    }
    QWidget::showEvent(e);
}

void DialogView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        if (QPushButton* b = focused ? focused : default_; b && b->isEnabled() && b->isVisible()) {
            b->click();
            return;
        }
    }
    QWidget::keyPressEvent(e);
}

void DialogView::closeEvent(QCloseEvent* e) {
    if (form_.shown() && onClose_)
        onClose_();
    e->accept();
}

} // namespace kestle::ui
