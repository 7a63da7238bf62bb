#include "flash_form.h"

#include "control_table.h"
#include "text_functions.h"
#include "texts.h"

#include <filesystem>
#include <system_error>

namespace plexmoor {
namespace {

constexpr int32_t kActionOpen = 2;
constexpr int32_t kActionClose = 3;
constexpr int32_t kActionProgramFlash = 4;
constexpr int32_t kActionSetSystemVersion = 10;

std::string EventName(Event event) {
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
    return {};
}

} // namespace

const std::map<std::string, FlashForm::Handler, std::less<>>& FlashForm::Handlers() {
    static const std::map<std::string, Handler, std::less<>> table = {
        {"cmbPrd_Click", &FlashForm::cmbPrd_Click},
        {"cmbSysVer_Click", &FlashForm::cmbSysVer_Click},
        {"cmbBit_Click", &FlashForm::cmbBit_Click},
        {"cmbFWGrp_Click", &FlashForm::cmbFWGrp_Click},
        {"cmbFwGrp2_Click", &FlashForm::cmbFwGrp2_Click},
        {"Command2_Click", &FlashForm::Command2_Click},
        {"Command3_Click", &FlashForm::Command3_Click},
        {"Command4_Click", &FlashForm::Command4_Click},
        {"Timer1_Timer", &FlashForm::Timer1_Timer},
    };
    return table;
}

FlashForm::FlashForm(Services& services) : services_(services), zintra_(services), host_(services) {
    BuildControls(controls_);
    controls_.onEvent([this](Control& c, Event e, const EventArgs& a) { dispatch(c, e, a); });
}

void FlashForm::dispatch(Control& control, Event event, const EventArgs& args) {
    const auto& handlers = Handlers();
    auto it = handlers.find(control.name() + "_" + EventName(event));
    if (it != handlers.end()) (this->*(it->second))(args);
}

bool FlashForm::reachable(const Control& c) const {
    for (const Control* at = &c;;) {
        if (!at->visible() || !at->enabled()) return false;
        if (at->parent().empty() || at->parent() == kTabControl) return true;
        at = &controls_(at->parent());
    }
}

bool FlashForm::userClick(Control& c) {
    if (!reachable(c)) return false;
    if (c.kind() == Kind::CheckBox) c.setValue(c.value() == 1 ? 0 : 1);
    controls_.raise(c, Event::Click);
    return true;
}

bool FlashForm::userSelect(Control& list, int index) {
    if (!reachable(list) || index < 0 || index >= static_cast<int>(list.items().size()))
        return false;
    list.setListIndex(index);
    return true;
}

bool FlashForm::userKeyPress(Control& c, int key) {
    if (!reachable(c)) return false;
    controls_.raise(c, Event::KeyPress, key);
    return true;
}

std::string FlashForm::programPath(std::string_view file) {
    std::filesystem::path folder = services_.programFolder();
    return (folder / file).string();
}

// ---------------------------------------------------------------------------
// Window events

void FlashForm::Form_Load() {
    Control& window = control(kWindowName);
    window.resize(kWindowWidth, kWindowHeight);

    control("FMEDebug").setVisible(false);
    control("cmbPrd").setEnabled(false);
    control("cmbSysVer").setEnabled(false);
    control("btnPack").setVisible(false);
    control("FmeOrvoPar").setVisible(false);

    const Control& quarn = control("fmeQuarnLite");
    control("fmeOrvoSetting").move(quarn.left(), quarn.top());

    for (int k = 1; k <= kFWEntries; ++k) {
        std::string n = std::to_string(k);
        st_.tFW[static_cast<std::size_t>(k)] = {
            std::string(text::kFwPlaceholderPath), std::string(text::kFwPlaceholderVer) + n,
            std::string(text::kFwPlaceholderDate) + n, std::string(text::kFwPlaceholderTime) + n};
    }

    Control& product = control("cmbPrd");
    product.addItem(std::string(text::kProduct1));
    product.addItem(std::string(text::kProduct2));
    product.setListIndex(0);

    control("txtPath").setText(programPath(text::kFlashFile));
    control("txtFile3", 0).setText(programPath(text::kBootFile));
    control("txtFile3", 1).setText(programPath(text::kOtFile));
    control("txtFile3", 2).setText(programPath(text::kRtFile));
    control("txtPath2").setText(programPath(text::kFlashFile));

    st_.lFocusField = -1;
    LoadIni("");
    FieldDef();

    Control& quick = control("cmbQuick");
    for (std::string_view item : kQuickSettings)
        quick.addItem(std::string(item));
    quick.setListIndex(0);
    Control& sets = control("cmbSets");
    for (std::string_view item : kProfileSets)
        sets.addItem(std::string(item));
    sets.setListIndex(0);
    for (int k = 0; k < kFieldBoxes; ++k) {
        control("lblMIBConf", k)
            .setCaption(std::string(kFieldCaptions[static_cast<std::size_t>(k)]));
    }

    control("cmbBit").setListIndex(st_.lDipBits - 1);

    zintra_.ZintraAction(kActionSetSystemVersion, st_.lSysVer, 0, 0);

    for (std::string_view name : {"cmbFWGrp", "cmbFwGrp2"}) {
        Control& list = control(name);
        list.clear();
        list.addItem("1");
        list.addItem("2");
    }
    control("cmbFwGrp2").setListIndex(0);

    Control& group = control("cmbGroup");
    if (!group.items().empty()) group.setListIndex(0);

    ShowCaption("");
}

bool FlashForm::Form_QueryUnload() {
    if (flash_busy_) {
        // Said at once, and by every caption until the run ends, so the
        // window staying up is not taken for a close that was lost.
        close_deferred_ = true;
        ShowCaption(last_status_);
        return false;
    }
    return true;
}

void FlashForm::Form_Unload() {
    SaveINI("");
}

// ---------------------------------------------------------------------------
// Caption, products and system versions

void FlashForm::ShowCaption(std::string_view strCaption) {
    // The status may be given as a view of last_status_ itself.
    std::string status(strCaption);
    std::string message = status;
    if (close_deferred_ && flash_busy_) {
        message += status.empty() ? text::kClosingAfterRun.substr(text::kStatusJoin.size())
                                  : text::kClosingAfterRun;
    }
    last_status_ = std::move(status);
    strCaption = message;
    std::string version = Trim(FieldOf(text::kRevision, " ", 2));
    std::string caption;
    if (strCaption.empty()) {
        caption = std::string(text::kMaker) + std::string(text::kProductTitle) + version +
                  std::string(text::kIdleCaptionEnd);
    } else {
        caption = std::to_string(kMessageNumber) + std::string(text::kStatusSeparator) +
                  std::string(strCaption) + std::string(text::kStatusJoin) +
                  std::string(text::kMaker) + std::string(text::kProductTitle) + version +
                  std::string(text::kStatusCaptionEnd);
    }
    control(kWindowName).setCaption(std::move(caption));
}

void FlashForm::ShowProductFrames(int product) {
    if (product != 1 && product != 2) return;
    for (Control& c : controls_.all()) {
        if (c.tag() == text::kTagOrvo) {
            if (product == 2) {
                c.setVisible(false);
            } else if (c.name() != "FmeOrvoPar") {
                c.setVisible(true);
            }
        } else if (c.tag() == text::kTagQuarn) {
            c.setVisible(product == 2);
        }
    }
}

void FlashForm::cmbPrd_Click(const EventArgs&) {
    if (st_.bSysVerBusy) return;
    int32_t product = WholeNumber(FieldOf(control("cmbPrd").text(), "-", 1));
    control("cmbSysVer").setListIndex(product == 2 ? 3 : 2);
}

void FlashForm::cmbSysVer_Click(const EventArgs&) {
    st_.lSysVer = WholeNumber(control("cmbSysVer").text());
    st_.bSysVerBusy = true;

    Control& product = control("cmbPrd");
    if (st_.lSysVer == 4) {
        ShowProductFrames(2);
        product.setListIndex(1);
    } else {
        ShowProductFrames(1);
        product.setListIndex(0);
    }

    // The second image row (RT) and both start offsets belong to version 2.
    const std::pair<std::string_view, int> second_row[] = {
        {"Label4", 2}, {"txtFile3", 2}, {"txtStart", 2}, {"txtStart", 1}, {"btnChoose", 3}};
    switch (st_.lSysVer) {
    case 1:
        control("btnPack").setEnabled(false);
        break;
    case 2:
        control("Label4", 1).setCaption("OT");
        for (auto [name, index] : second_row)
            control(name, index).setVisible(true);
        control("txtStart", 1).setEnabled(true);
        st_.lFieldCount = 16;
        control("btnPack").setEnabled(true);
        break;
    case 3:
    case 4:
        for (auto [name, index] : second_row)
            control(name, index).setVisible(false);
        control("Label4", 1).setCaption("FW");
        st_.lFieldCount = 48;
        control("btnPack").setEnabled(true);
        cmbFWGrp_Click({});
        break;
    default:
        break;
    }

    bool flash_tab = st_.lSysVer != 4;
    control("FmeFWSelect").setVisible(flash_tab);
    control("FmeOrvoFlash").setVisible(flash_tab);
    st_.bSysVerBusy = false;
}

// ---------------------------------------------------------------------------
// Firmware DIP count and firmware entries

void FlashForm::cmbBit_Click(const EventArgs&) {
    int32_t bits = WholeNumber(control("cmbBit").text());
    if (bits < 1 || bits > 3) return;
    st_.lFWCount = 1 << bits;
    st_.lGroupCount = 1 << (4 - bits);
    Control& fw = control("cmbFWGrp");
    Control& group = control("cmbGroup");
    fw.clear();
    for (int k = 1; k <= st_.lFWCount; ++k)
        fw.addItem(std::to_string(k));
    group.clear();
    for (int g = 1; g <= st_.lGroupCount; ++g)
        group.addItem(std::to_string(g));
    fw.setListIndex(0);
    group.setListIndex(0);
}

void FlashForm::cmbFWGrp_Click(const EventArgs&) {
    std::string selected = control("cmbFWGrp").text();
    if (selected.empty()) return;
    if (st_.iFWIndex > 0 && st_.iFWIndex <= kFWEntries) {
        FWInfo& shown = st_.tFW[static_cast<std::size_t>(st_.iFWIndex)];
        shown.strPath = control("txtFile3", 1).text();
        shown.strVer = control("txtFWVer", 0).text();
        shown.strDate = control("txtFWVer", 1).text();
        shown.strTime = control("txtFWVer", 2).text();
    }
    int32_t k = WholeNumber(selected);
    if (k < 1 || k > kFWEntries) return;
    const FWInfo& entry = st_.tFW[static_cast<std::size_t>(k)];
    control("txtFile3", 1).setText(entry.strPath);
    control("txtFWVer", 0).setText(entry.strVer);
    control("txtFWVer", 1).setText(entry.strDate);
    control("txtFWVer", 2).setText(entry.strTime);
    st_.iFWIndex = k;
}

void FlashForm::cmbFwGrp2_Click(const EventArgs&) {
    control("cmbFWGrp").setListIndex(control("cmbFwGrp2").listIndex());
}

// ---------------------------------------------------------------------------
// Settings and field tables; their contents come with the settings file and
// the configuration field work, their places in the start-up are kept.

void FlashForm::LoadIni(const std::string&) {
    st_.lDipBits = 1;
    ConfDef();
}

void FlashForm::SaveINI(const std::string&) {}

void FlashForm::FieldDef() {}

void FlashForm::ConfDef() {}

// ---------------------------------------------------------------------------
// Flash panel

void FlashForm::Command2_Click(const EventArgs&) {
    if (flash_busy_) return;
    Control& button = control("Command2");
    if (st_.bInit) {
        zintra_.ZintraAction(kActionClose, 0, 0, 0);
        button.setCaption(std::string(text::kInitAfterClose));
        st_.bInit = false;
        return;
    }
    st_.bInit = zintra_.ZintraAction(kActionOpen, 0, 0, 0) != 0;
    zintra_.ZintraAction(kActionClose, 0, 0, 0);
    st_.bInit = zintra_.ZintraAction(kActionOpen, 0, 0, 0) != 0;
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
    return zintra_.ZintraAction(kActionProgramFlash, first_byte_check, 0, 0);
}

void FlashForm::finishFlashOperation() {
    flash_busy_ = false;
    if (close_deferred_) {
        close_deferred_ = false;
        services_.requestClose();
    }
}

} // namespace plexmoor
