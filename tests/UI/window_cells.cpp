#include "window_cells.h"

#include "byte_files.h"
#include "flash_form.h"
#include "program_folder.h"

#include <string>

namespace fault_matrix {
namespace {

// The caption of a Flash that the library reported as done.
constexpr const char* kComplete = "Flash Complete";

// The window's world: its boxes go to the cell, its folder is the cell's.
class CellServices : public plexmoor::Services {
  public:
    plexmoor::Answer messageBox(const std::string& text, plexmoor::Buttons) override {
        shown(text);
        return plexmoor::Answer::Ok;
    }
    std::string openFileDialog(const std::string&) override { return {}; }
    std::string saveFileDialog(const std::string&) override { return {}; }
    void processEvents() override {}
    std::string programFolder() override { return folder; }
    plexmoor::Date today() override { return {2026, 12, 7}; }
    void requestClose() override {}

    std::string folder;
};

class WindowFlash : public Programming {
  public:
    const char* name() const override { return "window Flash"; }
    // Init, the file and the address; Flash is the run.
    void open(const std::filesystem::path& dir) override {
        const std::filesystem::path folder = dir / "program";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        plexmoor::testing::LinkLibrariesInto(folder.string());
        services_.folder = folder.string();
        form_ = std::make_unique<plexmoor::FlashForm>(services_);
        form_->Form_Load();
        const std::string image = (dir / "image.b").string();
        testing_support::write_file(image, program_file());
        form_->control("txtPath").setText(image);
        form_->control("txtAddr").setText(std::to_string(kProgramStart));
        form_->controls().userClick(form_->control("Command2"));
    }
    int32_t run() override {
        form_->controls().userClick(form_->control("Command3"));
        const std::string caption = form_->control("Flash").caption();
        return caption.find(kComplete) != std::string::npos ? 1 : 0;
    }
    void close() override {
        if (form_->state().bInit) form_->controls().userClick(form_->control("Command2"));
        form_.reset();
    }

  private:
    CellServices services_;
    std::unique_ptr<plexmoor::FlashForm> form_;
};

} // namespace

std::vector<std::unique_ptr<Operation>> window_operations() {
    std::vector<std::unique_ptr<Operation>> ops;
    ops.push_back(std::make_unique<WindowFlash>());
    return ops;
}

} // namespace fault_matrix
