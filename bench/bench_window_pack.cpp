// Packs a 1 MiB image in each system version through the window (the
// input checks, the transfer of every field and PackFlash), beside the
// library's PackFlash alone on the tables the transfer left, and prints the
// mean wall time of one pack of each.
#include "byte_pattern.h"
#include "flash_form.h"
#include "zintra.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using plexmoor::Answer;
using plexmoor::Buttons;
constexpr int kRounds = 20;

// The window without a display: boxes other than the final question are
// printed, the question is answered No.
class Headless : public plexmoor::Services {
  public:
    Answer messageBox(const std::string& text, Buttons buttons) override {
        if (buttons == Buttons::YesNo) return Answer::No;
        std::fprintf(stderr, "message: %s\n", text.c_str());
        failed = true;
        return Answer::Ok;
    }
    std::string openFileDialog(const std::string&) override { return {}; }
    std::string saveFileDialog(const std::string&) override { return {}; }
    void processEvents() override {}
    std::string programFolder() override {
        return PLEXMOOR_PRODUCT_BIN; // the window loads its library from there
    }
    plexmoor::Date today() override { return {2026, 12, 7}; }
    void requestClose() override {}
    bool failed = false;
};

void write(const fs::path& path, std::size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes = testing_support::byte_pattern(size, seed);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(size));
}

double ms_per(const std::function<void()>& run) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i)
        run();
    std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / kRounds;
}

} // namespace

int main() {
    fs::path dir = fs::temp_directory_path() / ("bench-window-pack-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto path = [&](const char* name) { return (dir / name).string(); };
    Headless services;
    plexmoor::FlashForm form(services);
    form.Form_Load();
    auto& c = form.controls();
    const std::string out = path("packed.b");
    c(plexmoor::C::txtPath2).setText(out);

    std::printf("%-10s %14s %14s %10s\n", "version", "window ms", "PackFlash ms", "bytes");
    for (int version : {2, 3, 4}) {
        c(plexmoor::C::cmbSysVer).setListIndex(version - 1);
        if (version == 2) {
            write(path("boot"), 0x101, 1);
            write(path("ot"), 0x60000, 2);
            write(path("rt"), 0x80000, 3);
            c(plexmoor::C::txtFile3, 0).setText(path("boot"));
            c(plexmoor::C::txtFile3, 1).setText(path("ot"));
            c(plexmoor::C::txtFile3, 2).setText(path("rt"));
            c(plexmoor::C::txtStart, 2).setText(std::to_string(0x80000));
            for (int i = 0; i < 3; ++i)
                c(plexmoor::C::txtFWVer, i).setText("1");
        } else {
            write(path("fw1"), version == 3 ? 0x70000 : 0x78000, 4);
            write(path("fw2"), version == 3 ? 0x70000 : 0x78000, 5);
            c(plexmoor::C::cmbFWGrp).setListIndex(0);
            form.state().iFWIndex = 0;
            for (int k = 1; k <= 2; ++k)
                form.state().tFW[k] = {path(k == 1 ? "fw1" : "fw2"), "1", "2", "3"};
            c(plexmoor::C::txtCfgUnit, 1).setText("40");
            c(plexmoor::C::txtSWDebug).setText("4 0 0 0 0 #End\r\n");
        }
        double window = ms_per([&] { form.PackFW(0); });
        double library = ms_per([&] {
            form.zintra().PackFlash(path("boot"), path("ot"), 0x20000, path("rt"), 0x80000, out, 0);
        });
        std::printf("%-10d %14.2f %14.2f %10ju\n", version, window, library,
                    static_cast<std::uintmax_t>(fs::file_size(out)));
    }
    fs::remove_all(dir);
    return services.failed ? 1 : 0;
}
