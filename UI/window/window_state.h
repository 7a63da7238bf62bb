// The variables the window keeps for its whole life, named as the window's
// code names them (type prefix, then the meaning).
#pragma once

#include <array>
#include <cstdint>
#include <string>
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

struct WindowState {
    int32_t lSysVer = 0;
    int32_t lFieldCount = 0;
    bool bSysVerBusy = false;
    int32_t lDipBits = 0;
    // The version-3 port table's stride from the start, not only after a
    // settings file has set it.
    int32_t lGroupStride = 64;
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

} // namespace plexmoor
