#include "window_cells.h"

#include "byte_files.h"
#include "flash_form.h"
#include "program_folder.h"

#include <string>
#include <vector>

namespace fault_matrix {
namespace {

// The caption of a Flash that the library reported as done.
constexpr const char* kComplete = "Flash Complete";

// The window's world: its boxes go to the cell, its folder is the cell's.
class CellServices : public plexmoor::Services {
  public:
    plexmoor::Answer messageBox(const std::string& text, plexmoor::Buttons buttons) override {
        shown(text);
        told.push_back(text);
        return buttons == plexmoor::Buttons::YesNo ? plexmoor::Answer::Yes : plexmoor::Answer::Ok;
    }
    std::string openFileDialog(const std::string&) override { return {}; }
    std::string saveFileDialog(const std::string&) override { return {}; }
    void processEvents() override {}
    std::string programFolder() override { return folder; }
    plexmoor::Date today() override { return {2026, 12, 7}; }
    void requestClose() override {}

    std::string folder;
    std::vector<std::string> told;
};

// A window started in a program folder of the cell's own, with its
// library linked there.
std::unique_ptr<plexmoor::FlashForm> OpenWindow(CellServices& services,
                                                const std::filesystem::path& dir) {
    const std::filesystem::path folder = dir / "program";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    plexmoor::testing::LinkLibrariesInto(folder.string());
    services.folder = folder.string();
    auto form = std::make_unique<plexmoor::FlashForm>(services);
    form->Form_Load();
    return form;
}

bool SaysComplete(plexmoor::FlashForm& form) {
    return form.control(plexmoor::C::Flash).caption().find(kComplete) != std::string::npos;
}

// A window run as a cell: closed by Uninit, its folder the cell's own.
template <typename Base> class WindowCell : public Base {
  public:
    void close() override {
        if (form_->state().bInit)
            form_->controls().userClick(form_->control(plexmoor::C::Command2));
        form_.reset();
    }

  protected:
    CellServices services_;
    std::unique_ptr<plexmoor::FlashForm> form_;
};

class WindowFlash : public WindowCell<Programming> {
  public:
    const char* name() const override { return "window Flash"; }
    // Init, the file and the address; Flash is the run.
    void open(const std::filesystem::path& dir) override {
        form_ = OpenWindow(services_, dir);
        const std::string image = (dir / "image.b").string();
        testing_support::write_file(image, program_file());
        form_->control(plexmoor::C::txtPath).setText(image);
        form_->control(plexmoor::C::txtAddr).setText(std::to_string(kProgramStart));
        // With the backup first, as a careful engineer runs it.
        form_->control(plexmoor::C::chkBackup).setValue(1);
        form_->controls().userClick(form_->control(plexmoor::C::Command2));
    }
    int32_t run() override {
        form_->controls().userClick(form_->control(plexmoor::C::Command3));
        return SaysComplete(*form_) ? 1 : 0;
    }
};

// Flash Setting: the window's configuration and a serial into the block.
class WindowFlashSetting : public WindowCell<SerialBlockWrite> {
  public:
    const char* name() const override { return "window Flash Setting"; }
    void open(const std::filesystem::path& dir) override {
        form_ = OpenWindow(services_, dir);
        for (int i = 0; i < plexmoor::kConfEntries; ++i)
            form_->state().lConf[static_cast<std::size_t>(i)] = 0x0A0B00 + i;
        form_->control(plexmoor::C::txtSerial).setText("QV261207001");
        // The window's procedure itself: with a record, a read of the board's
        // serial comes first and takes the set-up faults, and the block is
        // still written whole.
        form_->control(plexmoor::C::txtRecord).setText("none");
        form_->controls().userClick(form_->control(plexmoor::C::Command2));
    }
    int32_t run() override {
        form_->controls().userClick(form_->control(plexmoor::C::btnSerial));
        return SaysComplete(*form_) ? 1 : 0;
    }
    // The window started again: its Init offers the copy, and Yes.
    std::vector<std::string> start_after_crash(const std::filesystem::path& dir) override {
        form_ = OpenWindow(services_, dir);
        services_.told.clear();
        form_->controls().userClick(form_->control(plexmoor::C::Command2));
        close();
        return services_.told;
    }
};

} // namespace

std::vector<std::unique_ptr<Operation>> window_operations() {
    std::vector<std::unique_ptr<Operation>> ops;
    ops.push_back(std::make_unique<WindowFlash>());
    ops.push_back(std::make_unique<WindowFlashSetting>());
    return ops;
}

} // namespace fault_matrix
