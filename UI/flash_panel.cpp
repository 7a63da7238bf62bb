// The flash panel: Init and Uninit, Flash with its progress tick and the
// locked buttons, and the debug write.
#include "flash_form.h"

#include "control_table.h"
#include "numbers.h"
#include "text_functions.h"
#include "texts.h"
#include "zintra.h"

#include <filesystem>
#include <system_error>

namespace plexmoor {

void FlashForm::Command2_Click(const EventArgs&) {
    if (flash_busy_) return;
    Control& button = control("Command2");
    if (st_.bInit) {
        zintra_.ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        button.setCaption(std::string(text::kInitAfterClose));
        st_.bInit = false;
        return;
    }
    st_.bInit = zintra_.ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0) != 0;
    zintra_.ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    st_.bInit = zintra_.ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0) != 0;
    if (st_.bInit) button.setCaption(std::string(text::kUninit));
}

void FlashForm::Command3_Click(const EventArgs&) {
    // A click queued before the buttons were locked must not start a second
    // run from inside the first.
    if (flash_busy_) return;
    if (!st_.bInit) {
        message(text::kPressInitFirst);
        return;
    }
    std::optional<int32_t> address = startAddress();
    if (!address) return;

    flash_busy_ = true;
    ShowCaption(text::kRunning);
    services_.processEvents();

    const std::string path = control("txtPath").text();
    zintra_.SetupWriteParameter(*address, path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        message(path + std::string(text::kFileDoesntExist));
        finishFlashOperation();
        return;
    }
    auto length = std::filesystem::file_size(path, ec);
    st_.lFlashLen = ec ? 0 : static_cast<int64_t>(length);

    control("Timer1").setEnabled(true);
    for (std::string_view name : kLockedButtons)
        control(name).setEnabled(false);

    int32_t result = programFlash(0);
    // A waiting close is asked for again now; it is carried out once this
    // handler has shown the outcome.
    finishFlashOperation();

    for (std::string_view name : kUnlockOrder)
        control(name).setEnabled(true);
    ShowCaption(result != 0 ? text::kFlashComplete : text::kFlashError);
    control("Timer1").setEnabled(false);
}

void FlashForm::Timer1_Timer(const EventArgs&) {
    int32_t progress = zintra_.GetFlashProgress();
    if (st_.lFlashLen <= 0) {
        ShowCaption(text::kProgressEmptyFile);
        return;
    }
    float share = static_cast<float>(progress) / static_cast<float>(st_.lFlashLen);
    ShowCaption(std::string(text::kProgressPrefix) + FormatPercent(share));
}

void FlashForm::Command4_Click(const EventArgs&) {
    if (flash_busy_) return;
    std::optional<int32_t> address = startAddress();
    if (!address) return;
    flash_busy_ = true;
    zintra_.SetupWriteParameter(*address, control("txtPath2").text());
    programFlash(control("chkIgnore").value() == 1 ? 1 : 0);
    finishFlashOperation();
}

// The start address as the library takes it; a box that holds no whole
// number in range is reported here and nothing is programmed.
std::optional<int32_t> FlashForm::startAddress() {
    const std::string address_text = control("txtAddr").text();
    std::optional<int32_t> address = ParseDecimal32(address_text);
    if (!address) message(std::string(text::kAddressNotNumber) + address_text);
    return address;
}

int32_t FlashForm::programFlash(int32_t first_byte_check) {
    return zintra_.ZintraAction(ZINTRA_PROGRAM_FLASH, first_byte_check, 0, 0);
}

void FlashForm::finishFlashOperation() {
    flash_busy_ = false;
    if (close_deferred_) {
        close_deferred_ = false;
        services_.requestClose();
    }
}

} // namespace plexmoor
