// The window's settings reader on files of any content: every line it
// cannot use leaves no trace, nothing is written outside a table, and what
// it keeps is written back and read again unchanged (after one round, in
// which the keys of fixed values take their fixed texts).
#include "flash_form.h"
#include "harness.h"

#include <fstream>
#include <iterator>
#include <memory>
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

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plexmoor::FlashForm& form = window();
    const std::string input = (harness::folder() / "input.ini").string();
    const std::string first = (harness::folder() / "first.ini").string();
    const std::string second = (harness::folder() / "second.ini").string();
    std::ofstream(input, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    form.LoadIni(input);
    const plexmoor::WindowState& st = form.state();
    FUZZ_CHECK(st.lSysVer >= 1 && st.lSysVer <= 4);
    FUZZ_CHECK(st.lDipBits >= 1 && st.lDipBits <= 3);
    FUZZ_CHECK(st.lGroupStride == 64);
    form.SaveINI(first);
    form.LoadIni(first);
    form.SaveINI(second);
    const std::string settled = read(second);
    form.LoadIni(second);
    form.SaveINI(first);
    FUZZ_CHECK(read(first) == settled);
    return 0;
}
