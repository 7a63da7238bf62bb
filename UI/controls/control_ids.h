// Every control of the window by its window name, once. The list gives each
// control a handle, C::txtSerial, that the window logic, the front ends and
// the tests use to reach it, so a misspelt control fails to compile; the
// name itself is what a toolkit binding gives its widget. The window's
// control table (control_table.h) and the arrays built beside it place a
// control under each handle; one left without a control stops the start-up.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// clang-format off
#define PLEXMOOR_CONTROLS(X)                                                                       \
    /* the window, and what sits on it outside the tabs */                                         \
    X(Flash) X(Label17) X(cmbPrd) X(Label8) X(cmbSysVer) X(btnLoadCfg) X(btnSaveCfg) X(SSTab)      \
    X(Timer1) X(CD) X(Frame5) X(lblGlobal) X(txtGlobal)                                            \
    /* "Flash" tab */                                                                              \
    X(FmeFWSelect) X(Label1) X(txtPath) X(btnChoose) X(FmeOrvoFlash) X(Command2) X(Command3)       \
    X(btnLoadFlash) X(btnSerial) X(btnStop) X(lblChip) X(Label5) X(txtSerial) X(btnGenerate)       \
    X(chkFast) X(cmbClock) X(chkBackup) X(btnRestore) X(pgbFlash) X(lblProgress) X(cmbBridge)     \
    X(lblRecord) X(txtRecord) X(btnHistory) X(lblResult) X(btnStation)                             \
    /* "Setting" tab */                                                                            \
    X(fmeQuarnLite) X(lblAL) X(txtAL) X(lblALActive) X(txtALActive) X(lblList)                     \
    X(txtMIBCustomization) X(txtMIBDebug) X(txtSWCustomization) X(txtSWDebug)                      \
    X(fmeOrvoSetting) X(lblBit) X(cmbBit) X(lblFWGrp) X(cmbFWGrp) X(lblFWVer) X(txtFWVer)          \
    /* "MIB" tab */                                                                                \
    X(fmeMIB) X(lblGroup) X(cmbGroup) X(lblSets) X(cmbSets) X(btnSets) X(cmbQuick) X(BtnQuick)     \
    X(chkAllPort) X(lblMemo) X(txtMemo) X(lblMIBConf) X(txtMIBConf)                                \
    /* "Design" tab */                                                                             \
    X(fmePacking) X(Label4) X(txtFile3) X(txtStart) X(lblPath2) X(txtPath2) X(lblReSrc)            \
    X(txtReSrc) X(lblFwGrp2) X(cmbFwGrp2) X(btnPackByPack) X(cmdParse) X(btnPack) X(FMEDebug)      \
    X(Label7) X(txtFW) X(Label2) X(txtAddr) X(chkIgnore) X(Command4) X(FmeOrvoPar) X(lblCfgUnit)   \
    X(txtCfgUnit) X(lblFWStart) X(txtFWStart) X(lblMemoAll) X(txtMemoAll)
// clang-format on

namespace plexmoor {

#define PLEXMOOR_CONTROL_ID(name) name,
enum class C : int { PLEXMOOR_CONTROLS(PLEXMOOR_CONTROL_ID) };
#undef PLEXMOOR_CONTROL_ID

#define PLEXMOOR_CONTROL_NAME(name) std::string_view(#name),
inline constexpr std::array kControlNames = {PLEXMOOR_CONTROLS(PLEXMOOR_CONTROL_NAME)};
#undef PLEXMOOR_CONTROL_NAME

// The window name of a handle.
constexpr std::string_view NameOf(C id) {
    return kControlNames[static_cast<std::size_t>(id)];
}

} // namespace plexmoor
