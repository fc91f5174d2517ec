#include "ui/main_view.h"

#include "ui/layouts.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>

namespace kestle::ui {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
} // namespace

MainView::MainView(app::MainWindow& win, std::string titleSuffix)
    : win_(win), titleSuffix_(std::move(titleSuffix)) {
    view_ = new FormView(win.main(), mainLayout(), this);
    view_->setTopmost("Frame7");
    view_->setFixedSize(px(12135), px(8775));
    setCentralWidget(view_);
    setWindowTitle(q(win.main().caption() + titleSuffix_));
    statusBar()->setSizeGripEnabled(false);
    buildMenus();
    win.main().observe([this](forms::Control* c) {
        if (!c) {
            setWindowTitle(q(win_.main().caption() + titleSuffix_));
            setVisible(win_.main().shown());
        } else if (c->kind() == forms::Kind::Menu) {
            refreshMenu(c);
        }
    });
}

void MainView::buildMenus() {
    for (forms::Control* c : win_.main().controls()) {
        if (c->kind() != forms::Kind::Menu || c->parent())
            continue;
        QMenu* m = menuBar()->addMenu(q(c->text()));
        menus_[c] = m;
        addItems(m, c);
        refreshMenu(c);
    }
}

void MainView::addItems(QMenu* menu, forms::Control* parent) {
    for (forms::Control* c : parent->children()) {
        if (!c->children().empty()) {
            QMenu* sub = menu->addMenu(q(c->text()));
            menus_[c] = sub;
            addItems(sub, c);
        } else {
            QAction* a = menu->addAction(q(c->text()));
            a->setCheckable(true);
            actions_[c] = a;
            QObject::connect(a, &QAction::triggered, a, [this, c] {
                if (c->reachable())
                    c->click();
                refreshMenu(c); // the handler owns the check mark, not the toolkit
            });
        }
        refreshMenu(c);
    }
}

void MainView::refreshMenu(forms::Control* c) {
    if (auto it = actions_.find(c); it != actions_.end()) {
        QAction* a = it->second;
        a->setText(q(c->text()));
        a->setChecked(c->checked());
        a->setEnabled(c->enabled());
        a->setVisible(c->visible());
    }
    if (auto it = menus_.find(c); it != menus_.end()) {
        QMenu* m = it->second;
        m->setTitle(q(c->text()));
        m->setEnabled(c->enabled());
        m->menuAction()->setEnabled(c->enabled());
        m->menuAction()->setVisible(c->visible());
    }
}

void MainView::closeEvent(QCloseEvent* e) {
    // Closing the window runs the unload handler; it is never cancelled.
    if (!win_.ended())
        win_.Form_Unload();
    e->accept();
}

DialogView::DialogView(forms::Form& form, const Layout& layout, int widthTwips, int heightTwips,
                       std::function<void()> onClose)
    : form_(form), onClose_(std::move(onClose)) {
    auto* v = new FormView(form, layout, this);
    v->setGeometry(0, 0, px(widthTwips), px(heightTwips));
    setFixedSize(px(widthTwips), px(heightTwips));
    setWindowTitle(q(form.caption()));
    form.observe([this](forms::Control* c) {
        if (!c) {
            setWindowTitle(q(form_.caption()));
            setVisible(form_.shown());
        }
    });
}

void DialogView::closeEvent(QCloseEvent* e) {
    if (form_.shown() && onClose_)
        onClose_();
    e->accept();
}

} // namespace kestle::ui
