#include "ui/form_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabWidget>
#include <QTextCursor>
#include <algorithm>

namespace kestle::ui {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}
QColor qc(forms::Rgb c) {
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// A picture box whose content a painter function draws.
class PictureWidget : public QWidget {
  public:
    using QWidget::QWidget;
    FormView::PaintFn paint;

  protected:
    void paintEvent(QPaintEvent*) override {
        if (paint)
            paint(*this);
    }
};

// A text box that reports each edit as typed text, like the original's
// change event (Enter inserts CR LF).
class TextBoxWidget : public QPlainTextEdit {
  public:
    TextBoxWidget(forms::Control& c, QWidget* parent) : QPlainTextEdit(parent), c_(c) {}

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (isReadOnly()) {
            QPlainTextEdit::keyPressEvent(e);
            return;
        }
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            // A one-line box takes no line end.
            if (lineWrapMode() != QPlainTextEdit::NoWrap)
                c_.appendText("\r\n");
            return;
        }
        if (e->key() == Qt::Key_Backspace) {
            std::string t = c_.text();
            if (!t.empty()) {
                // Drop one UTF-8 code point.
                std::size_t n = t.size() - 1;
                while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xC0) == 0x80)
                    --n;
                t.resize(n);
                c_.setText(t);
            }
            return;
        }
        QString s = e->text();
        if (!s.isEmpty() && s.at(0).isPrint()) {
            c_.appendText(s.toStdString());
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }

  private:
    forms::Control& c_;
};

} // namespace

FormView::FormView(forms::Form& form, const Layout& layout, QWidget* parent)
    : QWidget(parent), form_(form) {
    int autoTop = 120;
    for (forms::Control* c : form.controls()) {
        if (c->kind() == forms::Kind::Menu || c->kind() == forms::Kind::Timer || c->parent())
            continue;
        QWidget* w = create(*c, this, layout);
        if (!layout.count(c->name())) {
            w->setGeometry(px(120), px(autoTop), px(6000),
                           px(c->kind() == forms::Kind::TextBox ? 1500 : 375));
            autoTop += c->kind() == forms::Kind::TextBox ? 1620 : 480;
        }
    }
    form.observe([this](forms::Control* c) {
        if (c)
            schedule(c);
    });
    refreshAll();
}

void FormView::schedule(forms::Control* c) {
    if (std::find(dirty_.begin(), dirty_.end(), c) == dirty_.end())
        dirty_.push_back(c);
    if (!flushPending_) {
        flushPending_ = true;
        QMetaObject::invokeMethod(
            this, [this] { flush(); }, Qt::QueuedConnection);
    }
}

void FormView::flush() {
    flushPending_ = false;
    std::vector<forms::Control*> batch;
    batch.swap(dirty_);
    for (forms::Control* c : batch)
        refresh(c);
}

QWidget* FormView::create(forms::Control& c, QWidget* parent, const Layout& layout) {
    QWidget* w = nullptr;
    switch (c.kind()) {
    case forms::Kind::Label: {
        auto* l = new QLabel(parent);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w = l;
        break;
    }
    case forms::Kind::TextBox: {
        auto* t = new TextBoxWidget(c, parent);
        // Small boxes are one-line displays.
        auto it = layout.find(c.name());
        if (it != layout.end() && it->second.height < 600) {
            t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            t->setLineWrapMode(QPlainTextEdit::NoWrap);
        }
        w = t;
        break;
    }
    case forms::Kind::ListBox: {
        auto* l = new QListWidget(parent);
        QObject::connect(l, &QListWidget::currentRowChanged, l, [this, &c](int row) {
            if (!updating_)
                c.select(row);
        });
        w = l;
        break;
    }
    case forms::Kind::ComboBox: {
        auto* b = new QComboBox(parent);
        QObject::connect(b, &QComboBox::activated, b, [this, &c](int row) {
            if (!updating_)
                c.choose(row);
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
            if (!updating_)
                c.setValue(page);
        });
        w = t;
        break;
    }
    case forms::Kind::Slider: {
        auto* s = new QSlider(Qt::Horizontal, parent);
        QObject::connect(s, &QSlider::valueChanged, s, [this, &c](int v) {
            if (!updating_)
                c.setValue(v);
        });
        w = s;
        break;
    }
    case forms::Kind::CheckBox: {
        auto* b = new QCheckBox(parent);
        QObject::connect(b, &QCheckBox::clicked, b, [this, &c] {
            if (!updating_)
                c.click();
            refresh(&c);
        });
        w = b;
        break;
    }
    case forms::Kind::Option: {
        auto* b = new QRadioButton(parent);
        b->setAutoExclusive(false);
        QObject::connect(b, &QRadioButton::clicked, b, [this, &c] {
            if (!updating_)
                c.click();
            refresh(&c);
        });
        w = b;
        break;
    }
    case forms::Kind::Button: {
        auto* b = new QPushButton(parent);
        QObject::connect(b, &QPushButton::clicked, b, [&c] { c.click(); });
        w = b;
        break;
    }
    case forms::Kind::Frame: {
        auto* g = new QGroupBox(parent);
        w = g;
        for (forms::Control* child : c.children())
            create(*child, g, layout);
        break;
    }
    case forms::Kind::Shape: {
        auto* f = new QFrame(parent);
        f->setAutoFillBackground(true);
        f->setFrameShape(QFrame::Box);
        w = f;
        break;
    }
    case forms::Kind::Picture: {
        auto* p = new PictureWidget(parent);
        w = p;
        break;
    }
    default:
        return nullptr;
    }
    w->setObjectName(q(c.name()));
    if (!c.toolTip().empty())
        w->setToolTip(q(c.toolTip()));
    if (auto it = layout.find(c.name()); it != layout.end()) {
        const Place& p = it->second;
        w->setGeometry(px(p.left), px(p.top), px(p.width), px(p.height));
    }
    widgets_[&c] = w;
    return w;
}

QWidget* FormView::widgetFor(const std::string& name) const {
    forms::Control* c = form_.find(name);
    if (!c)
        return nullptr;
    auto it = widgets_.find(c);
    return it == widgets_.end() ? nullptr : it->second;
}

void FormView::setPainter(const std::string& name, PaintFn fn) {
    if (auto* p = dynamic_cast<PictureWidget*>(widgetFor(name)))
        p->paint = fn;
    painters_[name] = std::move(fn);
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
    switch (c->kind()) {
    case forms::Kind::Label: {
        auto* l = static_cast<QLabel*>(w);
        l->setText(q(c->text()).replace("\r\n", "\n"));
        if (c->name() == "FREQA" || c->name() == "FREQB")
            l->setStyleSheet("color: " + qc(c->color()).name() + "; background: black;");
        break;
    }
    case forms::Kind::TextBox: {
        auto* t = static_cast<QPlainTextEdit*>(w);
        QString text = q(c->text()).replace("\r\n", "\n");
        if (t->toPlainText() != text) {
            t->setPlainText(text);
            t->moveCursor(QTextCursor::End);
        }
        t->setStyleSheet("background: " + qc(c->color()).name() + ";");
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
        l->setStyleSheet("background: " + qc(c->color()).name() + ";");
        break;
    }
    case forms::Kind::Tabs:
        static_cast<QTabWidget*>(w)->setCurrentIndex(c->value());
        break;
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
        static_cast<QPushButton*>(w)->setText(q(c->text()).replace("&", "&&"));
        break;
    case forms::Kind::Frame:
        static_cast<QGroupBox*>(w)->setTitle(q(c->text()));
        if (c->width() > 0)
            w->setGeometry(px(c->left()), px(c->top()), w->width(), w->height());
        if (c->visible())
            w->raise();
        if (topmost_ && topmost_->isVisible())
            topmost_->raise();
        break;
    case forms::Kind::Shape: {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, qc(c->color()));
        w->setPalette(pal);
        break;
    }
    case forms::Kind::Picture:
        w->update();
        break;
    default:
        break;
    }
    updating_ = false;
}

} // namespace kestle::ui
