// What every toolkit binding does the same way between a control and its
// widget, so the Qt and the Win32 windows behave alike: the model's own
// changes not echoed back, text taken however it arrived, the focus kept
// while a control is disabled, places in pixels and the file filters.
#pragma once

#include "controls.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace plexmoor {

// Every side of a control, in the order a binding brings a new widget up to
// date: its place first, its visibility last, so it shows complete.
inline constexpr std::array<Property, 10> kAllProperties = {
    Property::Geometry,  Property::Caption, Property::Text,      Property::Items,
    Property::ListIndex, Property::Value,   Property::BackColor, Property::Interval,
    Property::Enabled,   Property::Visible};

class WidgetSync {
  public:
    // While one lives, the binding is copying the model into its widgets:
    // what the widgets report then is an echo of the model, not the user.
    class Push {
      public:
        explicit Push(WidgetSync& sync) : sync_(sync), outer_(sync.pushing_) {
            sync_.pushing_ = true;
        }
        ~Push() { sync_.pushing_ = outer_; }
        Push(const Push&) = delete;
        Push& operator=(const Push&) = delete;

      private:
        WidgetSync& sync_;
        bool outer_;
    };

    bool pushing() const { return pushing_; }

    // A text box's widget changed its text: typed, pasted, or set directly
    // by a screen reader or a test tool. All of them reach the form.
    void widgetText(Control& c, std::string text) const {
        if (!pushing_) c.setText(std::move(text));
    }

    // Toolkits hand the focus of a widget being disabled to the next one in
    // the tab order, and a text box taking the focus that way selects its
    // whole text: after a run the next keystroke would overwrite, say, the
    // serial number. The focus waits on the window instead and goes back
    // when the control is enabled again.
    //
    // Before disabling: true when the binding is to move the focus to the
    // window because `c` holds it.
    bool parkFocus(const Control& c, bool has_focus) {
        if (!has_focus) return false;
        parked_ = &c;
        return true;
    }
    // After enabling: true when the binding is to give `c` the focus back,
    // which it does only when nothing else took the focus meanwhile.
    bool unparkFocus(const Control& c, bool focus_on_window) {
        if (parked_ != &c) return false;
        parked_ = nullptr;
        return focus_on_window;
    }

  private:
    bool pushing_ = false;
    const Control* parked_ = nullptr;
};

// Pixels for twips at a screen resolution in dots per inch.
int TwipsToPixels(int twips, double dpi);
// The window's client area in twips: its outer size less the standard
// caption and borders the places are drawn for.
int ClientWidthTwips(const Control& window);
int ClientHeightTwips(const Control& window);

// "Map File (*.b)|*.b|All|*.*" as (description, pattern) pairs; a
// description without its pattern in brackets gets it appended.
std::vector<std::pair<std::string, std::string>> FileFilterEntries(const std::string& filter);

} // namespace plexmoor
