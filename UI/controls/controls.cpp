#include "controls.h"

#include <stdexcept>

namespace plexmoor {

bool RaisesEvent(Kind kind, Event event) {
    switch (event) {
    case Event::Click:
        return kind == Kind::Button || kind == Kind::ComboBox || kind == Kind::CheckBox;
    case Event::Timer:
        return kind == Kind::Timer;
    case Event::KeyPress:
    case Event::GotFocus:
        return kind == Kind::TextBox;
    }
    return false;
}

const char* EventName(Event event) {
    switch (event) {
    case Event::Click:
        return "Click";
    case Event::Timer:
        return "Timer";
    case Event::KeyPress:
        return "KeyPress";
    case Event::GotFocus:
        return "GotFocus";
    }
    return "";
}

std::string ControlKey(std::string_view name, int index) {
    std::string key(name);
    if (index != kNoIndex) key += "(" + std::to_string(index) + ")";
    return key;
}

Control::Control(ControlSet& owner, C id, int index, Kind kind)
    : owner_(owner), id_(id), name_(NameOf(id)), index_(index), kind_(kind) {}

std::string Control::key() const {
    return ControlKey(name_, index_);
}

std::string Control::text() const {
    if (kind_ != Kind::ComboBox) return text_;
    if (list_index_ < 0 || list_index_ >= static_cast<int>(items_.size())) return {};
    return items_[static_cast<std::size_t>(list_index_)];
}

void Control::changed(Property property) {
    owner_.notify(*this, property);
}

void Control::place(std::string parent, int tab, int left, int top, int width, int height) {
    parent_ = std::move(parent);
    tab_ = tab;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

void Control::move(int left, int top) {
    if (left == left_ && top == top_) return;
    left_ = left;
    top_ = top;
    changed(Property::Geometry);
}

void Control::resize(int width, int height) {
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    changed(Property::Geometry);
}

void Control::setCaption(std::string caption) {
    assign(caption_, std::move(caption), Property::Caption);
}

void Control::setText(std::string text) {
    assign(text_, std::move(text), Property::Text);
}

void Control::setVisible(bool visible) {
    assign(visible_, visible, Property::Visible);
}

void Control::setEnabled(bool enabled) {
    assign(enabled_, enabled, Property::Enabled);
}

void Control::setValue(int value) {
    assign(value_, value, Property::Value);
}

void Control::setBackColor(uint32_t colour) {
    assign(back_color_, colour, Property::BackColor);
}

void Control::setInterval(int milliseconds) {
    assign(interval_, milliseconds, Property::Interval);
}

void Control::clear() {
    items_.clear();
    list_index_ = -1;
    changed(Property::Items);
}

void Control::addItem(std::string item) {
    items_.push_back(std::move(item));
    changed(Property::Items);
}

void Control::setListIndex(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    list_index_ = index;
    changed(Property::ListIndex);
    owner_.raise(*this, Event::Click);
}

Control& ControlSet::add(C id, int index, Kind kind) {
    std::string key = ControlKey(NameOf(id), index);
    if (by_key_.count(key)) throw std::logic_error("control added twice: " + key);
    Control& c = controls_.emplace_back(*this, id, index, kind);
    by_key_.emplace(std::move(key), &c);
    by_id_.emplace(std::pair(id, index), &c);
    return c;
}

Control& ControlSet::operator()(C id, int index) {
    auto it = by_id_.find(std::pair(id, index));
    if (it == by_id_.end()) throw std::out_of_range("no control " + ControlKey(NameOf(id), index));
    return *it->second;
}

const Control& ControlSet::operator()(C id, int index) const {
    return const_cast<ControlSet&>(*this)(id, index);
}

void ControlSet::raise(Control& control, Event event, int key) {
    if (event_sink_) event_sink_(control, event, EventArgs{control.index(), key});
}

bool ControlSet::reachable(const Control& c) const {
    for (const Control* at = &c;;) {
        if (!at->visible() || !at->enabled()) return false;
        if (at->parent().empty()) return true;
        at = by_key_.at(at->parent());
    }
}

bool ControlSet::userClick(Control& c) {
    if (!reachable(c)) return false;
    if (c.kind() == Kind::CheckBox) c.setValue(c.value() == 1 ? 0 : 1);
    raise(c, Event::Click);
    return true;
}

bool ControlSet::userSelect(Control& list, int index) {
    if (!reachable(list) || index < 0 || index >= static_cast<int>(list.items().size()))
        return false;
    list.setListIndex(index);
    return true;
}

bool ControlSet::userKeyPress(Control& c, int key) {
    if (!reachable(c)) return false;
    raise(c, Event::KeyPress, key);
    return true;
}

bool ControlSet::userFocus(Control& c) {
    if (!reachable(c)) return false;
    raise(c, Event::GotFocus);
    return true;
}

void ControlSet::notify(const Control& control, Property property) {
    if (change_sink_) change_sink_(control, property);
}

} // namespace plexmoor
