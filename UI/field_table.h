// The configuration fields of a group, as data: what the field boxes are
// captioned and what they show before a group is first shown.
#pragma once

#include <array>
#include <string_view>

namespace plexmoor {

inline constexpr int kFieldBoxes = 48;
inline constexpr std::array<std::string_view, kFieldBoxes> kFieldCaptions = {"Option",
                                                                             "DownTargetSnrMgn",
                                                                             "UpTargetSnrMgn",
                                                                             "DownMaxInterDelay",
                                                                             "UpMaxInterDelay",
                                                                             "BandPlan",
                                                                             "DownTargetSlowBurst",
                                                                             "UpTargetSlowBurst",
                                                                             "DownSlowMaxDataRate",
                                                                             "UpSlowMaxDataRate",
                                                                             "CfgUsPbs",
                                                                             "CfgDsPbs",
                                                                             "RxBandStart1",
                                                                             "RxBandStop1",
                                                                             "RxBandStart2",
                                                                             "RxBandStop2",
                                                                             "RxBandStart3",
                                                                             "RxBandStop3",
                                                                             "RxBandStart4",
                                                                             "RxBandStop4",
                                                                             "CfgUsPb4FirstTone",
                                                                             "CfgUsPb4LastTone",
                                                                             "TxBandStart1",
                                                                             "TxBandStop1",
                                                                             "TxBandStart2",
                                                                             "TxBandStop2",
                                                                             "TxBandStart3",
                                                                             "TxBandStop3",
                                                                             "TxBandStart4",
                                                                             "TxBandStop4",
                                                                             "PGA_REF_OT",
                                                                             "PGA_REF_RT",
                                                                             "TwConfig",
                                                                             "TwConfig2",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "PackConfig"};

inline constexpr std::array<std::string_view, kFieldBoxes> kFieldStartTexts = {
    "0", "48", "48", "10", "10", "0", "250", "250", "131072", "131072", "0", "0",
    "0", "0",  "0",  "0",  "0",  "0", "0",   "0",   "0",      "0",      "0", "0",
    "0", "0",  "0",  "0",  "0",  "0", "0",   "0",   "0",      "0",      "0", "0",
    "0", "0",  "0",  "0",  "0",  "0", "0",   "0",   "0",      "0",      "0", "0"};

} // namespace plexmoor
