// Every event handler of the window, as (control, event) pairs. The list is
// expanded into the handlers' declarations in FlashForm and into its dispatch
// table, so a listed handler that is not written fails to link, and a
// written one that is not listed is never reached. The area file that
// defines each handler is named beside it.
#pragma once

#define PLEXMOOR_FORM_HANDLERS(X)                                                                  \
    /* shell.cpp */                                                                                \
    X(cmbPrd, Click)                                                                               \
    X(cmbSysVer, Click)                                                                            \
    /* firmware_inputs.cpp */                                                                      \
    X(cmbBit, Click)                                                                               \
    X(cmbFWGrp, Click)                                                                             \
    X(cmbFwGrp2, Click)                                                                            \
    X(txtFW, KeyPress)                                                                             \
    X(btnChoose, Click)                                                                            \
    /* groups_presets.cpp */                                                                       \
    X(cmbGroup, Click)                                                                             \
    X(txtMIBConf, GotFocus)                                                                        \
    X(BtnQuick, Click)                                                                             \
    X(btnSets, Click)                                                                              \
    /* packing.cpp */                                                                              \
    X(btnPack, Click)                                                                              \
    X(btnPackByPack, Click)                                                                        \
    /* read_back.cpp */                                                                            \
    X(btnLoadFlash, Click)                                                                         \
    X(cmdParse, Click)                                                                             \
    /* serial_numbers.cpp */                                                                       \
    X(btnGenerate, Click)                                                                          \
    X(btnSerial, Click)                                                                            \
    /* flash_panel.cpp */                                                                          \
    X(Command2, Click)                                                                             \
    X(Command3, Click)                                                                             \
    X(Command4, Click)                                                                             \
    X(Timer1, Timer)                                                                               \
    X(btnStop, Click)                                                                              \
    X(btnStation, Click)                                                                           \
    /* chip_and_backup.cpp */                                                                      \
    X(btnRestore, Click)                                                                           \
    /* record_panel.cpp */                                                                         \
    X(btnHistory, Click)                                                                           \
    /* settings_file.cpp */                                                                        \
    X(btnSaveCfg, Click)                                                                           \
    X(btnLoadCfg, Click)
