// Packing an image from the window: from source images and from a released
// image whose configuration block is replaced.
#include "flash_form.h"

#include "ansi_text.h"
#include "field_table.h"
#include "numbers.h"
#include "text_functions.h"
#include "texts.h"

#include <filesystem>
#include <system_error>

namespace plexmoor {
namespace {

// The firmware header boxes show this until they are filled in.
constexpr std::string_view kUnsetFirmwareWord = "123456";

// The exact file named, a plain file: a name with wildcard characters names
// none.
bool IsPlainFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

} // namespace

// The checks of the system version, the first that fails said and ending
// the pack.
bool FlashForm::packInputsPass(int32_t mode) {
    switch (st_.lSysVer) {
    case 2:
        for (int i = 0; i < 3; ++i)
            if (!IsPlainFile(control(C::txtFile3, i).text())) {
                message(text::kInputFileMissing);
                return false;
            }
        for (int i = 0; i < 3; ++i)
            if (control(C::txtFWVer, i).text() == kUnsetFirmwareWord) {
                message(text::kUpdateFirmwareInfo);
                return false;
            }
        return true;
    case 3: {
        if (mode != 0) return true;
        if (control(C::txtFWStart).text().empty()) {
            message(text::kStartAddressUnassigned);
            return false;
        }
        bool all_set = true;
        for (int k = 1; k <= st_.lFWCount && k <= kFWEntries; ++k) {
            const FWInfo& fw = st_.tFW[static_cast<std::size_t>(k)];
            all_set = all_set && fw.strVer != kUnsetFirmwareWord &&
                      fw.strDate != kUnsetFirmwareWord && fw.strTime != kUnsetFirmwareWord &&
                      !fw.strPath.empty();
        }
        if (!all_set) message(text::kFirmwareEntryUnset);
        return all_set;
    }
    case 4:
        for (int k = 1; k <= kALFields; ++k) {
            const Control& box = control(C::txtAL, k);
            const std::string& t = box.text();
            if (box.tag() == kTextTag) {
                if (CharacterCount(t) > static_cast<std::size_t>(kTextFieldBytes)) {
                    message(std::string(text::kMaxLength10) + t);
                    return false;
                }
            } else if (box.tag() == kHexTag) {
                if (!IsNumber("&H" + t)) {
                    message(std::string(text::kMustBeHex) + t);
                    return false;
                }
            } else if (!IsNumber(t)) {
                message(std::string(text::kMustBeNumber) + t);
                return false;
            }
        }
        for (int j = 0; j < kActiveLines; ++j) {
            const std::string& t = control(C::txtALActive, j).text();
            if (!IsNumber(t)) {
                message(std::string(text::kMustBeNumber) + t);
                return false;
            }
        }
        return true;
    default:
        return true;
    }
}

bool FlashForm::PackFW(int32_t mode, bool offer_flash_path) {
    if (!StoreEdits()) return false;
    if (!packInputsPass(mode)) return false;
    // The offsets of the two source images count only in system version 2,
    // where a text that is no number would misplace an image.
    std::optional<int32_t> ot = ParseDecimal32(control(C::txtStart, 1).text());
    std::optional<int32_t> rt = ParseDecimal32(control(C::txtStart, 2).text());
    if (st_.lSysVer == 2 && (!ot || !rt)) {
        const Control& bad = ot ? control(C::txtStart, 2) : control(C::txtStart, 1);
        message(std::string(bad.key()) + std::string(text::kValueRefused) + bad.text() +
                std::string(text::kNothingPacked));
        return false;
    }
    if (!PackMIBConf()) return false;
    const bool packed =
        zintra().PackFlash(control(C::txtFile3, 0).text(), control(C::txtFile3, 1).text(),
                           ot.value_or(0), control(C::txtFile3, 2).text(), rt.value_or(0),
                           control(C::txtPath2).text(), mode) != 0;
    if (offer_flash_path &&
        services_.messageBox(std::string(text::kReplaceFlashFile), Buttons::YesNo) == Answer::Yes)
        control(C::txtPath).setText(control(C::txtPath2).text());
    return packed;
}

void FlashForm::btnPack_Click(const EventArgs&) {
    showPacked(PackFW(0));
}

void FlashForm::btnPackByPack_Click(const EventArgs&) {
    showPacked(packReleased(true));
}

void FlashForm::showPacked(bool packed) {
    showResult(std::string(text::kOperationPack) + ": " +
               std::string(packed ? text::kResultDone : text::kResultFailed) +
               (packed ? ", " + control(C::txtPath2).text() : std::string()));
}

bool FlashForm::packReleased(bool offer_flash_path) {
    const std::string path = control(C::txtReSrc).text();
    if (!IsPlainFile(path)) {
        message(std::string(text::kReleasedFileMissing) + path);
        return false;
    }
    const int32_t product = productNumber();
    // A file the library could not load leaves its image buffer as it was;
    // repacking that would write some earlier image under the new name.
    if (zintra().LoadConfFromFileToBuffer(path, product) == 0) return false;
    return PackFW(product, offer_flash_path);
}

bool FlashForm::pack(const std::string& out, const std::string& released, bool offer_flash_path) {
    control(C::txtPath2).setText(out);
    if (released.empty()) return PackFW(0, offer_flash_path);
    control(C::txtReSrc).setText(released);
    return packReleased(offer_flash_path);
}

} // namespace plexmoor
