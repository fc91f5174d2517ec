// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Toolkit-free model of one control. The handlers (`ITC2_Click` and the
// like) read and write these models; the Qt layer mirrors them and feeds the
// operator's input back through click(), dblClick() and the setters.
// Single-threaded: every call happens on the window thread.
#include "support/scheduler.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestle::forms {

class Form;

enum class Kind {
    Menu,     // a menu or menu item (heading or leaf)
    Label,    // caption only
    TextBox,  // editable text
    ListBox,  // list of texts with a selection
    ComboBox, // drop-down list: a list box that shows its selected text
    Slider,   // integer value in a range
    CheckBox, // value 0 or 1
    Option,   // option button of an exclusive group
    Button,   // command button
    Frame,    // container panel
    Tabs,     // tab strip: each child frame is a page; the value is the page shown
    Shape,    // filled shape
    Picture,  // picture box
    Timer,    // invisible timer
};

// Colours are 0xRRGGBB: red in the high byte.
using Rgb = std::uint32_t;
inline constexpr Rgb kRed = 0xFF0000;
inline constexpr Rgb kGreen = 0x00FF00;
inline constexpr Rgb kCyan = 0x00FFFF;
inline constexpr Rgb kBlack = 0x000000;
inline constexpr Rgb kLightGrey = 0xE0E0E0;
inline constexpr Rgb kSilver = 0xC0C0C0;
inline constexpr Rgb kPaleCyan = 0xC0FFFF;
inline constexpr Rgb kWhite = 0xFFFFFF;

class Control {
  public:
    Control(Form& form, std::string name, Kind kind, Control* parent);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // "Option1(7)" for a member of a control array, else the plain name.
    const std::string& name() const { return name_; }
    Kind kind() const { return kind_; }
    Form& form() const { return form_; }
    Control* parent() const { return parent_; }
    const std::vector<Control*>& children() const { return children_; }

    const std::string& text() const;
    void setText(std::string t);
    void appendText(std::string_view t);
    bool checked() const { return checked_; }
    void setChecked(bool c);
    // A menu item that the program checks and unchecks (not a command).
    bool checkable() const { return checkable_; }
    void setCheckable(bool c) { checkable_ = c; }
    bool enabled() const { return enabled_; }
    virtual void setEnabled(bool e);
    bool visible() const { return visible_; }
    void setVisible(bool v);
    int value() const { return value_; }
    // Clamped to [min, max]; raises onChange when the value changes.
    void setValue(int v);
    int min() const { return min_; }
    int max() const { return max_; }
    void setRange(int lo, int hi);
    Rgb color() const { return color_; }
    void setColor(Rgb c);
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string t) { toolTip_ = std::move(t); }

    // Position and size in twips (containers place their children).
    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void move(int left, int top);
    void setGeometry(int left, int top, int width, int height);

    // List and combo boxes.
    bool isList() const { return kind_ == Kind::ListBox || kind_ == Kind::ComboBox; }
    int count() const { return static_cast<int>(items_.size()); }
    const std::vector<std::string>& items() const { return items_; }
    void addItem(std::string t);
    void clear();
    // -1 for no selection. An index outside the list is ignored (the
    // selection stays as it was) and false is returned.
    int selected() const { return selected_; }
    // Counts clear() calls, so a view can tell a rebuilt list from a grown one.
    int clearCount() const { return clears_; }
    bool select(int index);
    // Selects `index` and raises onClick, as choosing an entry does (also
    // when code sets the position); false, and nothing happens, for an
    // index outside the list.
    bool choose(int index);

    // True when the operator could reach the control: it and every
    // container above it are enabled and visible, and its form is shown.
    bool reachable() const;

    // Operator actions; the script runner and the Qt layer call these.
    std::function<void()> onClick;
    std::function<void()> onDblClick;
    std::function<void()> onChange; // a text box's text or a slider's value changed
    void click();
    void dblClick();

    // Which properties a dump prints for this kind.
    bool hasText() const;
    bool hasChecked() const { return kind_ == Kind::Menu || kind_ == Kind::Option; }
    bool hasValue() const {
        return kind_ == Kind::Slider || kind_ == Kind::CheckBox || kind_ == Kind::Tabs;
    }
    bool hasColor() const;

  protected:
    void changed();

  private:
    Form& form_;
    std::string name_;
    Kind kind_;
    Control* parent_;
    std::vector<Control*> children_;
    std::string text_;
    bool checked_ = false;
    bool checkable_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    int value_ = 0, min_ = 0, max_ = 0x7fffffff;
    Rgb color_ = kWhite;
    std::string toolTip_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::vector<std::string> items_;
    int selected_ = -1;
    bool colorSet_ = false;
    int clears_ = 0;
};

// A timer control: while enabled it raises onTick every interval ms.
// Enabling it, or changing the interval while enabled, restarts the count.
class Timer : public Control {
  public:
    Timer(Form& form, std::string name, Scheduler& sched, int intervalMs);
    ~Timer() override;
    int interval() const { return interval_; }
    void setInterval(int ms);
    // Enabling starts the count; disabling cancels the pending tick.
    void setEnabled(bool on) override;
    std::function<void()> onTick;

  private:
    void arm();
    void disarm();
    Scheduler& sched_;
    int interval_;
    bool on_ = false;
    TimerId pending_ = 0;
};

} // namespace kestle::forms
