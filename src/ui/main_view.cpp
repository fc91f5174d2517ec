#include "ui/main_view.h"

#include "ui/layouts.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStatusBar>

namespace kestle::ui {

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QColor rgb(std::uint32_t c) {
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// The scope: the line list of the last burst, from twips to pixels.
void paintScope(QWidget& w, const std::vector<scope::Line>& lines) {
    QPainter p(&w);
    p.fillRect(w.rect(), w.palette().color(QPalette::Window));
    p.setPen(Qt::darkGray);
    p.drawRect(w.rect().adjusted(0, 0, -1, -1));
    const double sx = w.width() / double(scope::kDesignedScaleWidth + 60);
    const double sy = w.height() / double(scope::kDesignedScaleHeight + 60);
    p.translate(2, 2);
    for (const scope::Line& l : lines) {
        p.setPen(QPen(rgb(l.rgb), 1));
        p.drawLine(QPointF(l.x1 * sx, l.y1 * sy), QPointF(l.x2 * sx, l.y2 * sy));
    }
}

// The alignment picture: the unit seen from above, facing north.
void paintNorthPicture(QWidget& w) {
    QPainter p(&w);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(w.rect(), QColor(235, 232, 224));
    const QRectF r = w.rect();
    const double cx = r.width() / 2, unitW = r.width() * 0.42, unitH = r.height() * 0.5;
    const QRectF body(cx - unitW / 2, r.height() * 0.36, unitW, unitH);
    // North arrow.
    p.setPen(QPen(QColor(160, 20, 20), 3));
    p.drawLine(QPointF(cx, body.top() - 8), QPointF(cx, r.height() * 0.08));
    QPainterPath head;
    head.moveTo(cx, r.height() * 0.03);
    head.lineTo(cx - 9, r.height() * 0.11);
    head.lineTo(cx + 9, r.height() * 0.11);
    head.closeSubpath();
    p.fillPath(head, QColor(160, 20, 20));
    p.setFont(QFont("Arial", 12, QFont::Bold));
    p.drawText(QRectF(cx + 12, r.height() * 0.02, 40, 24), "N");
    // Antenna at the top edge, pointing north.
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(QPointF(cx + unitW * 0.3, body.top()), QPointF(cx + unitW * 0.3, body.top() - 26));
    // Case, display and sensor ports.
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(40, 44, 52));
    p.drawRoundedRect(body, 8, 8);
    p.setBrush(QColor(90, 200, 120));
    p.drawRect(QRectF(body.left() + 8, body.top() + 10, body.width() - 16, body.height() * 0.3));
    p.setBrush(QColor(200, 200, 200));
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(body.left() + body.width() * (0.2 + 0.2 * i), body.bottom() - 16), 5,
                      5);
    p.setPen(Qt::white);
    p.setFont(QFont("Arial", 8, QFont::Bold));
    p.drawText(QRectF(body.left(), body.top() + body.height() * 0.45, body.width(), 18),
               Qt::AlignCenter, "KESTLE");
    p.setPen(Qt::black);
    p.drawText(QRectF(0, r.height() - 20, r.width(), 18), Qt::AlignCenter,
               "USB cable to the south");
}
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
    for (const Caption& c : mainCaptions()) {
        auto* l = new QLabel(QString::fromUtf8(c.text), view_);
        l->move(px(c.left), px(c.top));
        l->setStyleSheet("color: #404040; font-size: 8pt;");
        l->show();
    }
    if (QWidget* d = view_->widgetFor("main_display")) {
        d->setStyleSheet("background: #101418; color: #7CFC9A; font-size: 12pt; padding: 4px;");
        d->setAutoFillBackground(true);
    }
    if (QWidget* f = view_->widgetFor("Frame7")) {
        f->setAutoFillBackground(true);
        f->setStyleSheet("QGroupBox { background: #E8E4DA; border: none; }");
    }
    if (QWidget* f = view_->widgetFor("calmag")) {
        f->setAutoFillBackground(true);
        f->setStyleSheet("QGroupBox { background: #F4F2EC; border: 2px solid #606060; }");
    }
    if (QWidget* t = view_->widgetFor("Label3"))
        t->setStyleSheet("font-family: Arial; font-size: 36pt; font-weight: bold; color: #B00000;");
    // The live picture stands below the alarm window, which may share its room.
    preview_ = new VideoPreview(view_);
    preview_->setGeometry(px(kPreviewLeft), px(kPreviewTop), px(kPreviewWidth), px(kPreviewHeight));
    if (QWidget* alarms = view_->widgetFor("alarmdisplay"))
        preview_->stackUnder(alarms);
    win.video().setPreviewTarget(preview_);
    view_->setPainter("oscope",
                      [this](QWidget& w) { paintScope(w, win_.acquisition().scopeLines()); });
    view_->setPainter("Picture1", [](QWidget& w) { paintNorthPicture(w); });
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

MainView::~MainView() {
    win_.video().setPreviewTarget(nullptr);
}

void MainView::closeEvent(QCloseEvent* e) {
    // Closing the window runs the unload handler; it is never cancelled.
    if (!win_.ended())
        win_.Form_Unload();
    e->accept();
}

DialogView::DialogView(forms::Form& form, const Layout& layout, int widthTwips, int heightTwips,
                       std::function<void()> onClose, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form), onClose_(std::move(onClose)) {
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

void DialogView::showEvent(QShowEvent* e) {
    QWidget* owner = parentWidget();
    if (!placed_ && owner && owner->isVisible()) {
        placed_ = true;
        // Beside the main window, so that its live picture stays in sight.
        const QRect main = owner->frameGeometry();
        const QRect room = owner->screen()->availableGeometry();
        if (main.right() + 8 + width() <= room.right())
            move(main.right() + 8, main.top());
    }
    QWidget::showEvent(e);
}

void DialogView::closeEvent(QCloseEvent* e) {
    if (form_.shown() && onClose_)
        onClose_();
    e->accept();
}

} // namespace kestle::ui
