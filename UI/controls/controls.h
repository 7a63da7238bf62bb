// The window's controls as plain data: what a toolkit binding mirrors and
// what the window procedures read and change. No toolkit types here, so the
// procedures run in tests without a window.
#pragma once

#include "control_ids.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plexmoor {

enum class Kind {
    Window,
    TabControl,
    Frame,
    Label,
    TextBox,
    MultiLineTextBox,
    ComboBox,
    Button,
    CheckBox,
    Timer,
    FileDialog,
    ProgressBar, // its value in thousandths of the whole
};

enum class Event { Click, Timer, KeyPress, GotFocus };

// Which events a kind of control raises; a handler for any other pair would
// never run.
bool RaisesEvent(Kind kind, Event event);
// The event's part of a handler name: "Click", "Timer", "KeyPress", "GotFocus".
const char* EventName(Event event);

// What changed, so a binding updates only that side of its widget.
enum class Property {
    Caption,
    Text,
    Visible,
    Enabled,
    Items,
    ListIndex,
    Value,
    BackColor,
    Geometry,
    Interval
};

// Colours as 0xRRGGBB.
inline constexpr uint32_t kButtonFace = 0xF0F0F0;
inline constexpr uint32_t kYellow = 0xFFFF00;

inline constexpr int kNoIndex = -1;

class ControlSet;

class Control {
  public:
    Control(ControlSet& owner, C id, int index, Kind kind);

    C id() const { return id_; }
    const std::string& name() const { return name_; }
    int index() const { return index_; }
    // "name" or "name(index)", the way the window's code writes it.
    std::string key() const;
    Kind kind() const { return kind_; }

    // Placement: the containing frame's key, or "SSTab" with a tab number,
    // or empty for the window itself. Positions are twips inside the parent.
    const std::string& parent() const { return parent_; }
    int tab() const { return tab_; }
    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }

    const std::string& caption() const { return caption_; }
    const std::string& tag() const { return tag_; }
    bool visible() const { return visible_; }
    bool enabled() const { return enabled_; }
    int value() const { return value_; }
    uint32_t backColor() const { return back_color_; }
    int interval() const { return interval_; }
    const std::vector<std::string>& items() const { return items_; }
    int listIndex() const { return list_index_; }
    // For a list: the selected entry's text, empty when none is selected.
    std::string text() const;

    void place(std::string parent, int tab, int left, int top, int width, int height);
    void move(int left, int top);
    void resize(int width, int height);
    void setCaption(std::string caption);
    void setText(std::string text);
    void setTag(std::string tag) { tag_ = std::move(tag); }
    void setVisible(bool visible);
    void setEnabled(bool enabled);
    void setValue(int value);
    void setBackColor(uint32_t colour);
    void setInterval(int milliseconds);
    void clear();
    void addItem(std::string item);
    // Selecting an entry raises the list's Click, as a user's choice does;
    // an index outside the list selects nothing and raises nothing.
    void setListIndex(int index);

  private:
    void changed(Property property);
    // Stores a new value and tells the binding, only when it differs.
    template <typename T, typename V> void assign(T& field, V&& value, Property property) {
        if (field == value) return;
        field = std::forward<V>(value);
        changed(property);
    }

    ControlSet& owner_;
    C id_;
    std::string name_;
    int index_;
    Kind kind_;
    std::string parent_;
    int tab_ = 0;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string caption_;
    std::string text_;
    std::string tag_;
    bool visible_ = true;
    bool enabled_ = true;
    int value_ = 0;
    uint32_t back_color_ = kButtonFace;
    int interval_ = 0;
    std::vector<std::string> items_;
    int list_index_ = -1;
};

struct EventArgs {
    int index = kNoIndex;
    int key = 0; // character code of a KeyPress
};

// All controls of the window, found by handle and index.
class ControlSet {
  public:
    using ChangeSink = std::function<void(const Control&, Property)>;
    using EventSink = std::function<void(Control&, Event, const EventArgs&)>;

    Control& add(C id, int index, Kind kind);
    // Throws std::out_of_range for an index the control array does not
    // have: a programming error, not a user's.
    Control& operator()(C id, int index = kNoIndex);
    const Control& operator()(C id, int index = kNoIndex) const;

    // In the order they were added, containers before their contents.
    const std::deque<Control>& all() const { return controls_; }
    std::deque<Control>& all() { return controls_; }

    void onChange(ChangeSink sink) { change_sink_ = std::move(sink); }
    void onEvent(EventSink sink) { event_sink_ = std::move(sink); }
    void raise(Control& control, Event event, int key = 0);

    // What a user can reach: a control that is hidden or disabled, or sits
    // in a hidden or disabled frame, takes no clicks, choices, keys or focus.
    // The program's own selections go through the controls directly and
    // always raise their events.
    bool reachable(const Control& c) const;
    // Each is false, and nothing happens, when the control was out of reach.
    bool userClick(Control& c);
    bool userSelect(Control& list, int index);
    bool userKeyPress(Control& c, int key);
    bool userFocus(Control& c);

  private:
    friend class Control;
    void notify(const Control& control, Property property);

    std::deque<Control> controls_;
    std::map<std::pair<C, int>, Control*> by_id_;
    std::map<std::string, Control*, std::less<>> by_key_;
    ChangeSink change_sink_;
    EventSink event_sink_;
};

std::string ControlKey(std::string_view name, int index);

} // namespace plexmoor
