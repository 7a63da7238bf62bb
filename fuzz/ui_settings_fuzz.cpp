// The window's settings reader on files of any content: every line it
// cannot use leaves no trace, nothing is written outside a table, and what
// it keeps is written back and read again unchanged (after one round, in
// which the keys of fixed values take their fixed texts).
#include "flash_form.h"
#include "harness.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

class Quiet : public plexmoor::Services {
  public:
    plexmoor::Answer messageBox(const std::string&, plexmoor::Buttons) override {
        return plexmoor::Answer::No;
    }
    std::string openFileDialog(const std::string&) override { return {}; }
    std::string saveFileDialog(const std::string&) override { return {}; }
    void processEvents() override {}
    std::string programFolder() override { return harness::folder().string(); }
    plexmoor::Date today() override { return {2026, 12, 7}; }
    void requestClose() override {}
};

plexmoor::FlashForm& window() {
    static Quiet services;
    static std::unique_ptr<plexmoor::FlashForm> form = [] {
        harness::quiet();
        auto f = std::make_unique<plexmoor::FlashForm>(services);
        f->Form_Load();
        return f;
    }();
    return *form;
}

} // namespace

// The input goes through the file road once; the rounds after it stay in
// memory, since writing and syncing files was most of a run's time.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plexmoor::FlashForm& form = window();
    const std::string input = (harness::folder() / "input.ini").string();
    std::ofstream(input, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    form.LoadIni(input);
    const plexmoor::WindowState& st = form.state();
    FUZZ_CHECK(st.lSysVer >= 1 && st.lSysVer <= 4);
    FUZZ_CHECK(st.lDipBits >= 1 && st.lDipBits <= 3);
    FUZZ_CHECK(st.lGroupStride == 64);
    const auto round = [&form](const std::string& text) {
        std::istringstream lines(text);
        form.LoadIniLines(&lines);
        return form.settingsText();
    };
    const std::string settled = round(form.settingsText());
    FUZZ_CHECK(round(settled) == settled);
    return 0;
}
