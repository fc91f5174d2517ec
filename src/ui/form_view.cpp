// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form_view.h"

#include "forms/layout_math.h"
#include "support/quote.h"
#include "ui/form_widgets.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextCursor>
#include <algorithm>
#include <cmath>

namespace kestle::ui {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Small text boxes are one-line displays.
constexpr int kOneLineTwips = 600;

void setColor(QWidget* w, QPalette::ColorRole role, const QColor& c) {
    QPalette pal = w->palette();
    if (pal.color(role) == c)
        return;
    pal.setColor(role, c);
    w->setPalette(pal);
}

} // namespace

FormView::FormView(forms::Form& form, const Layout& layout, int widthTwips, int heightTwips,
                   QWidget* parent)
    : QWidget(parent), form_(form), widthTwips_(widthTwips), heightTwips_(heightTwips) {
    int autoTop = 120;
    for (forms::Control* c : form.controls()) {
        if (c->kind() == forms::Kind::Menu || c->kind() == forms::Kind::Timer || c->parent())
            continue;
        QWidget* w = create(*c, this, layout);
        if (w && !layout.count(c->name())) {
            const bool box = c->kind() == forms::Kind::TextBox;
            placed_.back().place = {120, autoTop, 6000, box ? 1500 : 375};
            autoTop += box ? 1620 : 480;
        }
    }
    form.observe([this](forms::Control* c) {
        if (c)
            schedule(c);
    });
    flushTimer_.setSingleShot(true);
    QObject::connect(&flushTimer_, &QTimer::timeout, this, [this] { flush(); });
    setAutoFillBackground(true);
    setTheme(Theme::current());
    setScale(1);
    refreshAll();
    orderTabs();
}

bool FormView::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::MouseButtonDblClick) {
        auto it = controlOf_.find(o);
        if (it != controlOf_.end() && it->second->onDblClick && it->second->reachable()) {
            acted(*it->second, "dblclick");
            it->second->dblClick();
            flushSoon();
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void FormView::setReadOnly(const std::string& name) {
    if (auto* box = dynamic_cast<QPlainTextEdit*>(widgetFor(name))) {
        box->setReadOnly(true);
        box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    } else if (auto* line = dynamic_cast<QLineEdit*>(widgetFor(name))) {
        line->setReadOnly(true);
    }
}

void FormView::orderTabs() {
    // Rows of controls (a row starts a fifth of an inch below the last
    // one's first top), each left to right; a container's controls follow
    // one another, in its own rows.
    constexpr int kRowTwips = 300;
    std::vector<QWidget*> chain;
    std::function<void(std::vector<forms::Control*>)> walk =
        [&](std::vector<forms::Control*> level) {
            std::erase_if(level, [this](forms::Control* c) { return !placed(c); });
            std::stable_sort(level.begin(), level.end(), [this](auto* a, auto* b) {
                return placed(a)->place.top < placed(b)->place.top;
            });
            std::map<const forms::Control*, int> row;
            int rowTop = 0, rows = -1;
            for (forms::Control* c : level) {
                if (rows < 0 || placed(c)->place.top - rowTop >= kRowTwips) {
                    rowTop = placed(c)->place.top;
                    ++rows;
                }
                row[c] = rows;
            }
            std::stable_sort(level.begin(), level.end(), [&](auto* a, auto* b) {
                return row[a] != row[b] ? row[a] < row[b]
                                        : placed(a)->place.left < placed(b)->place.left;
            });
            for (forms::Control* c : level) {
                QWidget* w = placed(c)->widget;
                if (w->focusPolicy() & Qt::TabFocus)
                    chain.push_back(w);
                walk(c->children());
            }
        };
    std::vector<forms::Control*> tops;
    for (forms::Control* c : form_.controls())
        if (!c->parent() && c->kind() != forms::Kind::Menu)
            tops.push_back(c);
    walk(tops);
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

QWidget* FormView::create(forms::Control& c, QWidget* parent, const Layout& layout) {
    QWidget* w = nullptr;
    switch (c.kind()) {
    case forms::Kind::Label: {
        auto* l = new LabelWidget(parent);
        // Only a label of several lines wraps: a one-line reading is laid
        // out far more cheaply.
        auto it = layout.find(c.name());
        l->setWordWrap(it == layout.end() || it->second.height >= kOneLineTwips);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w = l;
        break;
    }
    case forms::Kind::TextBox: {
        auto it = layout.find(c.name());
        if (it != layout.end() && it->second.height < kOneLineTwips) {
            // A one-line display costs little to update; its border is a
            // plain line rather than the style's frame, drawn every time.
            auto* line = new LineBoxWidget(c, parent);
            line->setFrame(false);
            line->edited = [this, &c](const TextEdit& e) { edited(c, e); };
            w = line;
        } else {
            auto* box = new TextBoxWidget(c, parent);
            box->setTabChangesFocus(true); // Tab moves on, as in every other control
            box->edited = [this, &c](const TextEdit& e) { edited(c, e); };
            w = box;
        }
        w->setAutoFillBackground(true); // opaque: its updates leave the frame alone
        break;
    }
    case forms::Kind::ListBox: {
        auto* l = new QListWidget(parent);
        // Entries are one line each: thousands of them cost nothing to scroll.
        l->setUniformItemSizes(true);
        QObject::connect(l, &QListWidget::currentRowChanged, l, [this, &c](int row) {
            if (!updating_) {
                acted(c, "set", std::to_string(row));
                c.select(row);
                flushSoon();
            }
        });
        w = l;
        break;
    }
    case forms::Kind::ComboBox: {
        auto* b = new QComboBox(parent);
        QObject::connect(b, &QComboBox::activated, b, [this, &c](int row) {
            if (!updating_) {
                acted(c, "set", std::to_string(row));
                c.choose(row);
                flushSoon();
            }
        });
        w = b;
        break;
    }
    case forms::Kind::Tabs: {
        // Each child frame is a page; the pages' controls stand on them.
        auto* t = new QTabWidget(parent);
        for (forms::Control* page : c.children()) {
            auto* p = new QWidget(t);
            t->addTab(p, q(page->text()));
            for (forms::Control* child : page->children())
                create(*child, p, layout);
        }
        QObject::connect(t, &QTabWidget::currentChanged, t, [this, &c](int page) {
            if (!updating_) {
                acted(c, "set", std::to_string(page));
                c.setValue(page);
            }
        });
        w = t;
        break;
    }
    case forms::Kind::Slider: {
        auto* s = new QSlider(Qt::Horizontal, parent);
        QObject::connect(s, &QSlider::valueChanged, s, [this, &c](int v) {
            if (!updating_) {
                acted(c, "set", std::to_string(v));
                c.setValue(v);
                flushSoon();
            }
        });
        w = s;
        break;
    }
    case forms::Kind::CheckBox: {
        auto* b = new QCheckBox(parent);
        QObject::connect(b, &QCheckBox::clicked, b, [this, &c] {
            if (!updating_) {
                acted(c, "click");
                c.click();
            }
            refresh(&c);
            flushSoon();
        });
        w = b;
        break;
    }
    case forms::Kind::Option: {
        auto* b = new QRadioButton(parent);
        b->setAutoExclusive(false);
        QObject::connect(b, &QRadioButton::clicked, b, [this, &c] {
            if (!updating_) {
                acted(c, "click");
                c.click();
            }
            refresh(&c);
            flushSoon();
        });
        w = b;
        break;
    }
    case forms::Kind::Button: {
        auto* b = new QPushButton(parent);
        QObject::connect(b, &QPushButton::clicked, b, [this, &c] {
            acted(c, "click");
            c.click();
            flushSoon();
        });
        w = b;
        break;
    }
    case forms::Kind::Frame: {
        auto* f = new FrameWidget(parent);
        w = f;
        // Registered before its children, so that it is placed first.
        widgets_[&c] = f;
        add(f, &c, {0, 0, 0, 0});
        if (auto it = layout.find(c.name()); it != layout.end())
            placed_.back().place = it->second;
        for (forms::Control* child : c.children())
            create(*child, f, layout);
        f->setObjectName(q(c.name()));
        return f;
    }
    case forms::Kind::Shape: {
        auto* f = new QFrame(parent);
        f->setAutoFillBackground(true);
        f->setFrameShape(QFrame::Box);
        w = f;
        break;
    }
    case forms::Kind::Picture:
        w = new PictureWidget(parent);
        w->setAttribute(Qt::WA_OpaquePaintEvent); // its painter covers it whole
        break;
    default:
        return nullptr;
    }
    w->setObjectName(q(c.name()));
    if (!c.toolTip().empty())
        w->setToolTip(q(c.toolTip()));
    widgets_[&c] = w;
    controlOf_[w] = &c;
    w->installEventFilter(this);
    if (auto* area = dynamic_cast<QAbstractScrollArea*>(w)) {
        controlOf_[area->viewport()] = &c; // where its mouse events go
        area->viewport()->installEventFilter(this);
    }
    add(w, &c, {0, 0, 0, 0});
    if (auto it = layout.find(c.name()); it != layout.end())
        placed_.back().place = it->second;
    return w;
}

QWidget* FormView::widgetFor(const std::string& name) const {
    forms::Control* c = form_.find(name);
    if (!c)
        return nullptr;
    auto it = widgets_.find(c);
    return it == widgets_.end() ? nullptr : it->second;
}

FormView::Placed* FormView::placed(const std::string& name) {
    return placed(form_.find(name));
}

FormView::Placed* FormView::placed(const forms::Control* c) {
    auto it = placedAt_.find(c);
    return it == placedAt_.end() ? nullptr : &placed_[it->second];
}

void FormView::add(QWidget* w, forms::Control* c, Place place) {
    Placed p;
    p.widget = w;
    p.control = c;
    p.place = place;
    if (c)
        placedAt_[c] = placed_.size();
    placed_.push_back(std::move(p));
}

void FormView::setPainter(const std::string& name, PaintFn fn) {
    if (auto* p = dynamic_cast<PictureWidget*>(widgetFor(name)))
        p->paint = std::move(fn);
}

void FormView::addCaption(const std::string& container, const std::string& text, int left,
                          int top) {
    QWidget* parent = widgetFor(container);
    auto* l = new QLabel(q(text), parent ? parent : this);
    setColor(l, QPalette::WindowText, theme_.caption());
    add(l, nullptr, {left, top, 0, 0});
    apply(placed_.back());
    l->show();
}

void FormView::addWidget(QWidget* w, Place place) {
    w->setParent(this);
    add(w, nullptr, place);
    placed_.back().fontPx = 0; // keeps its own font
    apply(placed_.back());
}

void FormView::setTextStyle(const std::string& name, double px, bool bold,
                            const std::string& family) {
    if (Placed* p = placed(name)) {
        p->fontPx = px;
        p->bold = bold;
        p->family = family;
        apply(*p);
    }
}

void FormView::setFitLines(const std::string& name, int lines, double padding) {
    if (Placed* p = placed(name)) {
        p->fitLines = lines;
        p->padding = padding;
        if (auto* l = dynamic_cast<LabelWidget*>(p->widget))
            l->setNewestInView(true);
        apply(*p);
    }
}

void FormView::setFollowsTextSize(const std::string& name) {
    if (Placed* p = placed(name)) {
        p->followsTextSize = true;
        apply(*p);
    }
}

void FormView::setTextSize(double factor) {
    textSize_ = factor;
    for (Placed& p : placed_)
        if (p.followsTextSize)
            apply(p);
}

void FormView::setColors(const std::string& name, std::optional<forms::Rgb> text,
                         std::optional<forms::Rgb> background) {
    if (Placed* p = placed(name)) {
        p->text = text;
        p->background = background;
        colour(*p);
    }
}

QSize FormView::sizeAt(double s) const {
    const forms::PxRect r = forms::toPixels(0, 0, widthTwips_, heightTwips_, s);
    return {r.width, r.height};
}

void FormView::setScale(double s) {
    scale_ = s;
    resize(sizeAt(s));
    for (Placed& p : placed_)
        apply(p);
}

void FormView::apply(Placed& p) {
    Place at = p.place;
    if (p.control && p.control->width() > 0) {
        // Code moved it: the model has the place.
        at.left = p.control->left();
        at.top = p.control->top();
        if (at.width == 0) {
            at.width = p.control->width();
            at.height = p.control->height();
        }
    }
    if (!p.control && p.fontPx == 0) {
        const forms::PxRect r = forms::toPixels(at.left, at.top, at.width, at.height, scale_);
        p.widget->setGeometry(r.x, r.y, r.width, r.height);
        return;
    }
    QFont f = font();
    if (!p.family.empty())
        f.setFamily(q(p.family));
    f.setBold(p.bold);
    const double size = p.followsTextSize ? textSize_ : 1;
    if (p.fitLines > 0) {
        // The largest text of which the lines all fit, whole; at the
        // default text size never below the smallest readable one.
        const double room = at.height * scale_ / forms::kTwipsPerPixel - 2 * p.padding * scale_;
        int px = std::max(4, static_cast<int>(room / p.fitLines));
        for (; px > 4; --px) {
            f.setPixelSize(px);
            if (QFontMetrics(f).lineSpacing() * p.fitLines <= room)
                break;
        }
        f.setPixelSize(
            std::max(6, static_cast<int>(std::lround(std::max(px, kMinDisplayPx) * size))));
        p.widget->setContentsMargins(QMargins() + static_cast<int>(p.padding * scale_));
    } else {
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(p.fontPx * scale_ * size))));
    }
    if (auto* frame = dynamic_cast<FrameWidget*>(p.widget)) {
        // The caption fits on the border at every scale: shrink it if not.
        const int room = static_cast<int>(at.width * scale_ / forms::kTwipsPerPixel) -
                         8 * QFontMetrics(f).horizontalAdvance(' ') / 2;
        while (f.pixelSize() > 6 && QFontMetrics(f).horizontalAdvance(frame->title()) > room)
            f.setPixelSize(f.pixelSize() - 1);
    }
    p.widget->setFont(f);
    if (auto* box = dynamic_cast<QPlainTextEdit*>(p.widget))
        box->document()->setDocumentMargin(std::max(1.0, 3 * scale_));
    if (auto* line = dynamic_cast<QLineEdit*>(p.widget))
        line->setTextMargins(QMargins() + static_cast<int>(std::lround(scale_)));
    if (at.width == 0 && at.height == 0) {
        // A fixed caption: as large as its text.
        p.widget->adjustSize();
        const forms::PxRect r = forms::toPixels(at.left, at.top, 0, 0, scale_);
        p.widget->move(r.x, r.y);
        return;
    }
    const forms::PxRect r = forms::toPixels(at.left, at.top, at.width, at.height, scale_);
    p.widget->setGeometry(r.x, r.y, r.width, r.height);
}

void FormView::setTheme(const Theme& t) {
    theme_ = t;
    setColor(this, QPalette::Window, theme_.window());
    for (const Placed& p : placed_)
        colour(p);
    update();
}

void FormView::changeEvent(QEvent* e) {
    // The application's palette reaches a view as one or the other.
    const bool palette =
        e->type() == QEvent::ApplicationPaletteChange || e->type() == QEvent::PaletteChange;
    if (palette && Theme::current().night() != theme_.night())
        setTheme(Theme::current());
    QWidget::changeEvent(e);
}

void FormView::colour(const Placed& p) {
    QWidget* w = p.widget;
    forms::Control* c = p.control;
    if (!c) {
        if (p.fontPx > 0) // a caption, not a widget of the view's own
            setColor(w, QPalette::WindowText, theme_.caption());
        return;
    }
    if (p.background && c->kind() != forms::Kind::Frame) {
        w->setAutoFillBackground(true);
        setColor(w, QPalette::Window, theme_.background(*p.background));
    }
    switch (c->kind()) {
    case forms::Kind::Label:
        // Opaque, so that a new reading repaints the label and not the
        // frame beneath it too.
        if (!p.background) {
            // On a tab strip's page (the set-up form) the page shows through:
            // its colour is the style's, not the form's.
            const QWidget* up = w->parentWidget();
            const bool onPage = up && qobject_cast<const QStackedWidget*>(up->parentWidget());
            w->setAutoFillBackground(!onPage);
            const auto* frame = dynamic_cast<const FrameWidget*>(up);
            setColor(w, QPalette::Window, frame ? frame->background() : theme_.window());
        }
        // The program's colour first, then the design's, else the caption colour.
        if (c->hasColor())
            setColor(w, QPalette::WindowText, theme_.text(c->color()));
        else if (p.text)
            setColor(w, QPalette::WindowText, theme_.text(*p.text));
        else
            setColor(w, QPalette::WindowText, theme_.text(forms::kBlack));
        break;
    case forms::Kind::TextBox:
    case forms::Kind::ListBox:
        setColor(w, QPalette::Base, theme_.background(c->color()));
        setColor(w, QPalette::Text, theme_.text(p.text.value_or(forms::kBlack)));
        break;
    case forms::Kind::Shape:
        setColor(w, QPalette::Window, theme_.fill(c->color()));
        break;
    case forms::Kind::Frame:
        static_cast<FrameWidget*>(w)->setColors(p.background ? theme_.background(*p.background)
                                                             : theme_.window(),
                                                theme_.border(), theme_.caption());
        break;
    default:
        break;
    }
}

void FormView::schedule(forms::Control* c) {
    if (std::find(dirty_.begin(), dirty_.end(), c) == dirty_.end())
        dirty_.push_back(c);
    if (!flushTimer_.isActive()) {
        // The first change after a quiet spell shows at once.
        const qint64 since = sinceFlush_.isValid() ? sinceFlush_.elapsed() : kRefreshMs;
        flushTimer_.start(static_cast<int>(std::max<qint64>(0, kRefreshMs - since)));
    }
}

void FormView::acted(forms::Control& c, std::string_view verb, std::string_view arg) {
    if (onOperatorAction)
        onOperatorAction(c, verb, arg);
}

void FormView::edited(forms::Control& c, const TextEdit& e) {
    if (e.kind == TextEdit::Erase)
        acted(c, "erase");
    else
        acted(c, "type", escapeScriptText(e.text));
    flushSoon();
}

void FormView::flushSoon() {
    flushTimer_.start(0);
}

void FormView::flushNow() {
    flushTimer_.stop();
    flush();
}

void FormView::flush() {
    sinceFlush_.start();
    std::vector<forms::Control*> batch;
    batch.swap(dirty_);
    for (forms::Control* c : batch)
        refresh(c);
}

void FormView::refreshAll() {
    for (auto& [c, w] : widgets_)
        refresh(c);
}

void FormView::refresh(forms::Control* c) {
    auto it = widgets_.find(c);
    if (it == widgets_.end())
        return;
    QWidget* w = it->second;
    updating_ = true;
    w->setVisible(c->visible());
    w->setEnabled(c->enabled());
    if (const Placed* p = placed(c))
        colour(*p);
    switch (c->kind()) {
    case forms::Kind::Label:
        static_cast<LabelWidget*>(w)->showText(q(c->text()).replace("\r\n", "\n"));
        break;
    case forms::Kind::TextBox: {
        if (auto* line = dynamic_cast<QLineEdit*>(w)) {
            const QString text = q(c->text());
            if (line->text() != text)
                line->setText(text);
            break;
        }
        auto* t = static_cast<QPlainTextEdit*>(w);
        const QString text = q(c->text()).replace("\r\n", "\n");
        const QString shown = t->toPlainText();
        if (shown != text) {
            // Text is mostly appended: lay out only what is new.
            if (!shown.isEmpty() && text.startsWith(shown)) {
                t->moveCursor(QTextCursor::End);
                t->insertPlainText(text.mid(shown.size()));
            } else {
                t->setPlainText(text);
            }
            t->moveCursor(QTextCursor::End);
        }
        break;
    }
    case forms::Kind::ListBox: {
        auto* l = static_cast<QListWidget*>(w);
        // Lists only grow or are cleared and rebuilt: append what is new.
        const QVariant seen = l->property("clearCount");
        if (!seen.isValid() || seen.toInt() != c->clearCount() || l->count() > c->count()) {
            l->clear();
            l->setProperty("clearCount", c->clearCount());
        }
        QStringList more;
        for (int i = l->count(); i < c->count(); ++i)
            more << q(c->items()[static_cast<std::size_t>(i)]);
        if (!more.isEmpty())
            l->addItems(more);
        l->setCurrentRow(c->selected());
        break;
    }
    case forms::Kind::ComboBox: {
        auto* b = static_cast<QComboBox*>(w);
        const QVariant seen = b->property("clearCount");
        if (!seen.isValid() || seen.toInt() != c->clearCount() || b->count() > c->count()) {
            b->clear();
            b->setProperty("clearCount", c->clearCount());
        }
        for (int i = b->count(); i < c->count(); ++i)
            b->addItem(q(c->items()[static_cast<std::size_t>(i)]));
        b->setCurrentIndex(c->selected());
        break;
    }
    case forms::Kind::Tabs:
        static_cast<QTabWidget*>(w)->setCurrentIndex(c->value());
        break;
    case forms::Kind::Slider: {
        auto* s = static_cast<QSlider*>(w);
        s->setRange(c->min(), c->max());
        s->setValue(c->value());
        break;
    }
    case forms::Kind::CheckBox: {
        auto* b = static_cast<QCheckBox*>(w);
        // Long runs of blanks were there to wrap the caption: break the line.
        b->setText(q(c->text()).replace(QRegularExpression(" {10,}"), "\n"));
        b->setChecked(c->value() != 0);
        break;
    }
    case forms::Kind::Option: {
        auto* b = static_cast<QRadioButton*>(w);
        b->setText(q(c->text()));
        b->setChecked(c->checked());
        break;
    }
    case forms::Kind::Button:
        // An ampersand marks the keyboard mnemonic, as in every caption.
        static_cast<QPushButton*>(w)->setText(q(c->text()));
        break;
    case forms::Kind::Frame:
        static_cast<FrameWidget*>(w)->setTitle(q(c->text()));
        if (c->width() > 0) {
            if (Placed* p = placed(c))
                apply(*p);
        }
        if (c->visible())
            w->raise();
        if (topmost_ && topmost_->isVisible())
            topmost_->raise();
        // A frame over the main display moves its text to the part left free.
        for (const Placed& p : placed_)
            if (p.fitLines > 0)
                p.widget->update();
        break;
    case forms::Kind::Picture:
        w->update();
        break;
    default:
        break;
    }
    updating_ = false;
}

} // namespace kestle::ui
