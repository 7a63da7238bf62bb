// The window "Flash": its state and its procedures and event handlers, in
// plain C++. A binding mirrors the controls and forwards user events here.
#pragma once

#include "controls.h"
#include "host_link.h"
#include "services.h"
#include "zintra_link.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plexmoor {

struct FWInfo {
    std::string strPath;
    std::string strVer;
    std::string strDate;
    std::string strTime;
};

inline constexpr int kConfEntries = 385;
inline constexpr int kFWEntries = 8; // used entries 1..8; entry 0 is spare
inline constexpr int kMemos = 9;

// The variables the window keeps for its whole life.
struct WindowState {
    int32_t lSysVer = 0;
    int32_t lFieldCount = 0;
    bool bSysVerBusy = false;
    int32_t lDipBits = 0;
    int32_t lGroupStride = 0;
    bool bInit = false;
    // The file being programmed can in principle exceed 32 bits; the
    // progress share is taken from its true length.
    int64_t lFlashLen = 0;
    int32_t lGroupCount = 0;
    int32_t lFWCount = 0;
    std::array<FWInfo, kFWEntries + 1> tFW;
    int iFWIndex = 0;
    std::array<int32_t, kConfEntries> lConf{};
    std::array<std::string, kMemos> strMemo;
    int iGroupIndex = 0;
    int32_t lFocusField = -1;
    std::vector<int32_t> lALPos;
    std::vector<int32_t> lALActiveHead;
    std::vector<int32_t> lFieldHead;
};

class FlashForm {
  public:
    explicit FlashForm(Services& services);
    FlashForm(const FlashForm&) = delete;
    FlashForm& operator=(const FlashForm&) = delete;

    ControlSet& controls() { return controls_; }
    Control& control(std::string_view name, int index = kNoIndex) { return controls_(name, index); }
    WindowState& state() { return st_; }
    ZintraLink& zintra() { return zintra_; }
    Services& services() { return services_; }

    // What a user can reach: a control that is hidden or disabled, or sits
    // in a hidden or disabled frame, takes no clicks. The program's own
    // selections go through the controls directly and always raise Click.
    bool reachable(const Control& c) const;
    // False when the control was out of the user's reach.
    bool userClick(Control& c);
    bool userSelect(Control& list, int index);
    bool userKeyPress(Control& c, int key);

    // Window events.
    void Form_Load();
    // False when the close has to wait: the library is programming the
    // flash, and ending the program under it would leave the board half
    // written. The close is asked for again when the run has ended.
    bool Form_QueryUnload();
    void Form_Unload();

    // Procedures.
    void ShowCaption(std::string_view strCaption);
    void ShowProductFrames(int product);
    void LoadIni(const std::string& strCfgPath);
    void SaveINI(const std::string& strCfgPath);
    void FieldDef();
    void ConfDef();

    // Event handlers.
    void cmbPrd_Click(const EventArgs&);
    void cmbSysVer_Click(const EventArgs&);
    void cmbBit_Click(const EventArgs&);
    void cmbFWGrp_Click(const EventArgs&);
    void cmbFwGrp2_Click(const EventArgs&);
    void Command2_Click(const EventArgs&);
    void Command3_Click(const EventArgs&);
    void Command4_Click(const EventArgs&);
    void Timer1_Timer(const EventArgs&);

    // The message number every status caption starts with.
    static constexpr int kMessageNumber = 0;

  private:
    using Handler = void (FlashForm::*)(const EventArgs&);
    static const std::map<std::string, Handler, std::less<>>& Handlers();

    void dispatch(Control& control, Event event, const EventArgs& args);
    void message(std::string_view text) { services_.messageBox(std::string(text)); }
    std::string programPath(std::string_view file);
    // Runs program flash with the write parameters already set; the close
    // of the window waits for it.
    std::optional<int32_t> startAddress();
    int32_t programFlash(int32_t first_byte_check);
    // Ends a flash operation: a close that came in meanwhile goes ahead.
    void finishFlashOperation();

    Services& services_;
    ControlSet controls_;
    WindowState st_;
    ZintraLink zintra_;
    HostLink host_;
    bool flash_busy_ = false;
    bool close_deferred_ = false;
    std::string last_status_;
};

} // namespace plexmoor
