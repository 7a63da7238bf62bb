// The window's logic on a fresh virtual board, with a services double that
// records message boxes, answers the event pump by ticking Timer1 when it
// is on, and records every window caption.
#pragma once

#include "board_fixture.h"
#include "flash_form.h"
#include "program_folder.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace plexmoor::testing {

class FakeServices : public Services {
  public:
    Answer messageBox(const std::string& text, Buttons buttons) override {
        messages.push_back(text);
        if (throw_once) {
            throw_once = false;
            throw std::runtime_error("box failed");
        }
        return buttons == Buttons::YesNo ? answer : Answer::Ok;
    }
    std::string openFileDialog(const std::string& filter) override {
        filters.push_back(filter);
        return next_file;
    }
    std::string saveFileDialog(const std::string& filter) override {
        filters.push_back(filter);
        return next_file;
    }
    std::string openFileDialogIn(const std::string& filter, const std::string& folder) override {
        dialog_folder = folder;
        return openFileDialog(filter);
    }
    std::optional<std::string> inputBox(const std::string& prompt) override {
        messages.push_back(prompt);
        return typed;
    }
    void processEvents() override {
        ++pumps;
        if (on_pump) on_pump();
    }
    std::string programFolder() override { return folder; }
    Date today() override { return date; }
    void requestClose() override { ++close_requests; }

    std::vector<std::string> messages;
    std::vector<std::string> filters; // of every file dialog shown
    std::string next_file;            // what the next dialog returns; empty is Cancel
    std::string dialog_folder;        // where the last dialog opened, when it was told
    std::optional<std::string> typed; // into a text dialog; nothing is Cancel
    std::function<void()> on_pump;
    std::string folder;
    int pumps = 0;
    int close_requests = 0;
    bool throw_once = false;     // the next box throws, as a broken service would
    Answer answer = Answer::Yes; // to every question
    Date date{2026, 12, 7};
};

class FormTest : public testing_support::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        // The test's folder stands for the program's: the window finds its
        // library there, and writes its files there.
        services.folder = temp("").parent_path().string();
        LinkLibrariesInto(services.folder, zintra_stand_in);
        // Every pump is a timer period: ticks whenever Timer1 is on.
        services.on_pump = [this] {
            Control& timer = form->control(C::Timer1);
            if (timer.enabled()) form->controls().raise(timer, Event::Timer);
            if (during_pump) during_pump();
        };
        StartForm();
    }

    // A new window in the same program folder, as the program's next start
    // finds it: what a test put there first (a settings file) is read.
    void StartForm() {
        form.reset();
        form = std::make_unique<FlashForm>(services);
        form->controls().onChange([this](const Control& c, Property p) {
            if (c.id() == C::Flash && p == Property::Caption)
                window_captions.push_back(c.caption());
        });
        form->Form_Load();
    }
    std::string settingsPath() const { return services.folder + "/Glinterra.ini"; }

    void TearDown() override {
        // The library outlives each test; leave its device closed.
        if (form && form->state().bInit)
            form->zintra().ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        form.reset();
        BoardTest::TearDown();
    }

    Control& c(C id, int index = kNoIndex) { return form->control(id, index); }
    std::string caption() { return c(C::Flash).caption(); }
    void init() {
        ASSERT_TRUE(form->controls().userClick(c(C::Command2)));
        ASSERT_TRUE(form->state().bInit);
    }

    // Set in a derived fixture's constructor to load another library in
    // Zintra's place.
    std::string zintra_stand_in;
    FakeServices services;
    std::unique_ptr<FlashForm> form;
    std::vector<std::string> window_captions;
    std::function<void()> during_pump;
};

inline std::string Status(const std::string& message) {
    return "0: Msg = " + message + ", Solvanti Plexmoor ( Ver: 1.17 )";
}

inline const std::string kIdleCaption = "Solvanti Plexmoor ( Ver: 1.17 ) ";

} // namespace plexmoor::testing
