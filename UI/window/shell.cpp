// The shell of the window: start-up, the caption, the product and
// system-version rules, the close, and the dispatch of events to handlers.
#include "flash_form.h"

#include "control_table.h"
#include "field_table.h"
#include "numbers.h"
#include "presets.h"
#include "text_functions.h"
#include "texts.h"
#include "zintra.h"

#include <exception>
#include <filesystem>
#include <map>

namespace plexmoor {
namespace {

using Handler = void (FlashForm::*)(const EventArgs&);

struct HandlerEntry {
    C control;
    Event event;
    Handler handler;
};

#define PLEXMOOR_HANDLER_ENTRY(control, event)                                                     \
    HandlerEntry{C::control, Event::event, &FlashForm::control##_##event},
const HandlerEntry kHandlers[] = {PLEXMOOR_FORM_HANDLERS(PLEXMOOR_HANDLER_ENTRY)};
#undef PLEXMOOR_HANDLER_ENTRY

std::string HandlerName(C control, Event event) {
    return std::string(NameOf(control)) + "_" + EventName(event);
}

const std::map<std::string, Handler, std::less<>>& HandlersByName() {
    static const auto table = [] {
        std::map<std::string, Handler, std::less<>> t;
        for (const HandlerEntry& e : kHandlers)
            t.emplace(HandlerName(e.control, e.event), e.handler);
        return t;
    }();
    return table;
}

} // namespace

std::vector<std::pair<std::string, Event>> FlashForm::HandlerNames() {
    std::vector<std::pair<std::string, Event>> out;
    for (const HandlerEntry& e : kHandlers)
        out.emplace_back(NameOf(e.control), e.event);
    return out;
}

FlashForm::FlashForm(Services& services)
    : services_(services),
      own_session_(std::make_unique<ops::Session>(services, record::FrontEnd::Window)),
      session_(*own_session_) {
    session_.record().setUnreachableHint(std::string(text::kRecordUnreachableHint));
    BuildControls(controls_);
    controls_.onEvent([this](Control& c, Event e, const EventArgs& a) { dispatch(c, e, a); });
}

FlashForm::FlashForm(ops::Session& session) : services_(session.services()), session_(session) {
    BuildControls(controls_);
    controls_.onEvent([this](Control& c, Event e, const EventArgs& a) { dispatch(c, e, a); });
}

// A fault in a handler must not end the program from inside a toolkit
// callback: the user is told which handler failed and the window goes on.
void FlashForm::dispatch(Control& control, Event event, const EventArgs& args) {
    const auto& handlers = HandlersByName();
    std::string name = HandlerName(control.id(), event);
    auto it = handlers.find(name);
    if (it == handlers.end()) return;
    try {
        (this->*(it->second))(args);
    } catch (const std::exception& e) {
        message(std::string(text::kHandlerFailed) + name + ": " + e.what());
    }
}

void FlashForm::tell(std::string_view text) {
    session_.tell(text);
}

std::string FlashForm::programPath(std::string_view file) {
    std::filesystem::path folder = services_.programFolder();
    return (folder / file).string();
}

// ---------------------------------------------------------------------------
// Window events

void FlashForm::Form_Load(const std::string& strCfgPath) {
    Control& window = control(C::Flash);
    window.resize(kWindowWidth, kWindowHeight);

    control(C::FMEDebug).setVisible(false);
    control(C::cmbPrd).setEnabled(false);
    control(C::cmbSysVer).setEnabled(false);
    control(C::btnPack).setVisible(false);
    control(C::FmeOrvoPar).setVisible(false);

    const Control& quarn = control(C::fmeQuarnLite);
    control(C::fmeOrvoSetting).move(quarn.left(), quarn.top());

    for (int k = 1; k <= kFWEntries; ++k) {
        std::string n = std::to_string(k);
        st_.tFW[static_cast<std::size_t>(k)] = {
            std::string(text::kFwPlaceholderPath), std::string(text::kFwPlaceholderVer) + n,
            std::string(text::kFwPlaceholderDate) + n, std::string(text::kFwPlaceholderTime) + n};
    }

    Control& product = control(C::cmbPrd);
    product.addItem(std::string(text::kProduct1));
    product.addItem(std::string(text::kProduct2));
    product.setListIndex(0);

    control(C::txtPath).setText(programPath(text::kFlashFile));
    control(C::txtFile3, 0).setText(programPath(text::kBootFile));
    control(C::txtFile3, 1).setText(programPath(text::kOtFile));
    control(C::txtFile3, 2).setText(programPath(text::kRtFile));
    control(C::txtPath2).setText(programPath(text::kFlashFile));

    st_.lFocusField = -1;
    LoadIni(strCfgPath);
    FieldDef();

    Control& quick = control(C::cmbQuick);
    for (std::string_view item : kQuickSettings)
        quick.addItem(std::string(item));
    quick.setListIndex(0);
    Control& sets = control(C::cmbSets);
    for (std::string_view item : kProfileSets)
        sets.addItem(std::string(item));
    sets.setListIndex(0);
    for (int k = 0; k < kFieldBoxes; ++k)
        control(C::lblMIBConf, k)
            .setCaption(std::string(kConfigFields[static_cast<std::size_t>(k)].caption));

    control(C::cmbBit).setListIndex(st_.lDipBits - 1);

    zintra().ZintraAction(ZINTRA_SET_SYSTEM_VERSION, st_.lSysVer, 0, 0);
    // A window looks for bridges at once; a front end that keeps its own
    // session (plexmoor-cli) does where a command needs a board.
    if (own_session_) listBridges();

    // Every firmware entry the DIP count read offers, as the Profile list
    // offers every group.
    for (C name : {C::cmbFWGrp, C::cmbFwGrp2}) {
        Control& list = control(name);
        list.clear();
        for (int k = 1; k <= st_.lFWCount; ++k)
            list.addItem(std::to_string(k));
    }
    control(C::cmbFwGrp2).setListIndex(0);

    Control& group = control(C::cmbGroup);
    if (!group.items().empty()) group.setListIndex(0);

    ShowCaption("");
}

bool FlashForm::Form_QueryUnload() {
    if (session_.board().busy()) {
        // Said at once, and by every caption until the run ends, so the
        // window staying up is not taken for a close that was lost.
        close_deferred_ = true;
        ShowCaption(last_status_);
        return false;
    }
    return true;
}

// What the boxes show is what the user left: the shown group and firmware
// entry are stored first, so edits not yet carried over by a group switch
// or a pack survive the restart.
void FlashForm::Form_Unload() {
    if (versionKnown()) storeShownGroup();
    keepShownFirmwareEntry();
    SaveINI("");
}

void FlashForm::ShowCaption(std::string_view strCaption) {
    // The status may be given as a view of last_status_ itself.
    std::string status(strCaption);
    std::string message = status;
    if (close_deferred_ && session_.board().busy()) {
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
    control(C::Flash).setCaption(std::move(caption));
}

void FlashForm::ShowProductFrames(int product) {
    if (product != 1 && product != 2) return;
    for (Control& c : controls_.all()) {
        if (c.tag() == text::kTagOrvo) {
            if (product == 2) {
                c.setVisible(false);
            } else if (c.id() != C::FmeOrvoPar) {
                c.setVisible(true);
            }
        } else if (c.tag() == text::kTagQuarn) {
            c.setVisible(product == 2);
        }
    }
}

void FlashForm::cmbPrd_Click(const EventArgs&) {
    if (st_.bSysVerBusy) return;
    int32_t product = WholeNumber(FieldOf(control(C::cmbPrd).text(), "-", 1));
    control(C::cmbSysVer).setListIndex(product == 2 ? 3 : 2);
}

void FlashForm::cmbSysVer_Click(const EventArgs&) {
    st_.lSysVer = WholeNumber(control(C::cmbSysVer).text());
    st_.bSysVerBusy = true;

    Control& product = control(C::cmbPrd);
    if (st_.lSysVer == 4) {
        ShowProductFrames(2);
        product.setListIndex(1);
    } else {
        ShowProductFrames(1);
        product.setListIndex(0);
    }

    // The second image row (RT) and both start offsets belong to version 2.
    const std::pair<C, int> second_row[] = {
        {C::Label4, 2}, {C::txtFile3, 2}, {C::txtStart, 2}, {C::txtStart, 1}, {C::btnChoose, 3}};
    switch (st_.lSysVer) {
    case 1:
        control(C::btnPack).setEnabled(false);
        break;
    case 2:
        control(C::Label4, 1).setCaption("OT");
        for (auto [name, index] : second_row)
            control(name, index).setVisible(true);
        control(C::txtStart, 1).setEnabled(true);
        st_.lFieldCount = 16;
        control(C::btnPack).setEnabled(true);
        break;
    case 3:
    case 4:
        for (auto [name, index] : second_row)
            control(name, index).setVisible(false);
        control(C::Label4, 1).setCaption("FW");
        st_.lFieldCount = 48;
        control(C::btnPack).setEnabled(true);
        cmbFWGrp_Click({});
        break;
    default:
        break;
    }

    bool flash_tab = st_.lSysVer != 4;
    control(C::FmeFWSelect).setVisible(flash_tab);
    control(C::FmeOrvoFlash).setVisible(flash_tab);
    st_.bSysVerBusy = false;
}

} // namespace plexmoor
