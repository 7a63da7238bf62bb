// The settings file beside the program and the user's configuration files.
#include "field_table.h"
#include "file_replacement.h"
#include "form_fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <sys/stat.h>

namespace plexmoor::testing {
namespace {

namespace fs = std::filesystem;
using SettingsFileTest = FormTest;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The keys of a file, in order; every line must end with CR LF.
std::vector<std::string> KeysOf(const std::string& text) {
    std::vector<std::string> keys;
    for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
        end = text.find("\r\n", at);
        const std::string line = text.substr(at, end - at);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        keys.push_back(line.substr(0, line.find('=')));
        if (end == std::string::npos) break;
    }
    return keys;
}

std::string Two(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// What the key table carries for the version and counts in force.
std::vector<std::string> Carried(FlashForm& f) {
    const WindowState& st = f.state();
    const bool v2 = st.lSysVer == 2;
    std::vector<std::string> out;
    for (const Control& box : f.controls().all()) {
        const C n = box.id();
        bool always = n == C::txtPath2 || n == C::txtReSrc || n == C::txtPath ||
                      n == C::txtMemoAll || n == C::txtSerial || n == C::txtAL ||
                      n == C::txtALActive || n == C::cmbSysVer ||
                      (n == C::txtFile3 && box.index() == 0);
        bool v34 = n == C::cmbBit || n == C::txtFWStart || n == C::txtCfgUnit ||
                   box.kind() == Kind::MultiLineTextBox;
        if (always || (v2 ? n == C::txtFile3 : v34)) out.push_back(box.key() + "=" + box.text());
        if (n == C::chkFast || n == C::chkBackup)
            out.push_back(box.key() + "=" + std::to_string(box.value()));
    }
    for (int k = 1; !v2 && k <= st.lFWCount; ++k)
        out.push_back("tFW" + std::to_string(k) + "=" + st.tFW[k].strPath);
    for (int i = 0; i < st.lGroupCount * st.lFieldCount; ++i)
        out.push_back("lConf" + std::to_string(i) + "=" + std::to_string(st.lConf[i]));
    for (int g = 0; g < st.lGroupCount; ++g)
        out.push_back("strMemo" + std::to_string(g) + "=" + st.strMemo[g]);
    return out;
}

// Written at the close, read by the next start, written again: the same
// bytes, the keys in their order, and every value back.
TEST_F(SettingsFileTest, EveryVersionAndDipCountSurvivesARestart) {
    for (int version : {2, 3, 4}) {
        for (int dip : {1, 2, 3}) {
            SCOPED_TRACE(::testing::Message() << "version " << version << ", DIP " << dip);
            fs::remove(settingsPath());
            StartForm();
            c(C::cmbSysVer).setListIndex(version - 1);
            c(C::cmbBit).setListIndex(dip - 1);
            WindowState& st = form->state();
            const std::string tag = std::to_string(version * 10 + dip);
            for (Control& box : form->controls().all()) {
                // The shown group's boxes go into the group at the close, so
                // they hold numbers.
                if (box.id() == C::txtMIBConf) {
                    box.setText(tag + std::to_string(box.index()));
                } else if (box.kind() == Kind::TextBox) {
                    box.setText(box.key() + " " + tag + " \u00e4|");
                }
                if (box.kind() == Kind::MultiLineTextBox)
                    box.setText("1 2 #" + box.key() + "\r\n0 0 #End " + tag + "\r\n");
            }
            const char* fixed[] = {"10200", "40", "7fc0"};
            for (int i = 0; i < 3; ++i)
                c(C::txtCfgUnit, i).setText(fixed[i]);
            c(C::txtFWStart).setText("20000");
            c(C::chkFast).setValue(dip % 2);
            c(C::chkBackup).setValue(version % 2);
            for (int i = 0; i < kConfEntries; ++i)
                st.lConf[i] = i == 7 ? INT32_MIN : (i % 3 - 1) * (i * 1009 + version);
            for (int k = 1; k <= kFWEntries; ++k)
                st.tFW[k].strPath = "/fw/" + tag + "_" + std::to_string(k) + ".b";
            for (int g = 0; g < kMemos; ++g)
                st.strMemo[g] = "memo " + std::to_string(g) + " " + tag;

            form->Form_Unload();
            const std::string written = ReadText(settingsPath());
            std::vector<std::string> keys = {"BOOTCODE", "SYSVER"};
            if (version == 2) {
                keys.insert(keys.end(), {"OT", "RT"});
            } else {
                for (int k = 0; k < st.lFWCount; ++k)
                    keys.push_back("FWPATH" + std::to_string(k));
                keys.insert(keys.end(), {"DIP", "CFGADDR", "CFGSIZE", "CFGDESTADDR", "FWSTART",
                                         "MIBCUST", "MIBDEBUG", "SWCUST", "SWDEBUG"});
            }
            keys.insert(keys.end(), {"PACKPATH", "PACKBYPACKPATH", "FLASHPATH", "MEMOALL"});
            for (int g = 0; g < st.lGroupCount; ++g) {
                for (int p = 0; p < st.lFieldCount; ++p)
                    keys.push_back("CONF" + std::to_string(g) + Two(p));
                keys.push_back("PROFILEMEMO" + std::to_string(g));
            }
            keys.push_back("SerialNumber");
            for (int i = 1; i <= 24; ++i)
                keys.push_back("AL" + Two(i));
            for (int i = 0; i <= 8; ++i)
                keys.push_back("ACTIVEAL" + Two(i));
            keys.insert(keys.end(), {"FASTPROGRAM", "BACKUP", "FASTCLOCK", "RECORD"});
            EXPECT_EQ(KeysOf(written), keys);

            const std::vector<std::string> carried = Carried(*form);
            StartForm();
            // A file of version 2 holds no DIP count; the next start uses 1.
            if (version == 2) c(C::cmbBit).setListIndex(dip - 1);
            EXPECT_EQ(Carried(*form), carried);
            EXPECT_EQ(form->state().lGroupStride, 64); // from the start, whatever the file
            form->SaveINI("");
            EXPECT_EQ(ReadText(settingsPath()), written);
        }
    }
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(SettingsFileTest, EachLineIsReadAsTheKeyTableSays) {
    EXPECT_EQ(c(C::txtCfgUnit, 0).text(), "10100") << "no settings file yet";
    WriteText(settingsPath(), "sysver=2\nCONF207=5\nSYSVER=3\r\nCONF207=6\r\n"
                              "MEMOALL=x=y=z\r\n"
                              "MIBCUST=a||b|\r\n"
                              "  FlashPath  = /p \r\n"
                              "CFGADDR=12345\r\n"
                              "SerialNumber=QV1\r\n"
                              "SERIAL=QV2\r\n"
                              "BOOTCODE\r\n"
                              "\r\n"
                              "CONF105=7\r\nconf105 =8\r\n CONF106=9\r\n"
                              "PROFILEMEMO1=m1\r\nAL03=a\r\nACTIVEAL03=b\r\nFWPATH1=/fw2.b\r\n"
                              "FASTPROG=1");
    StartForm();
    const WindowState& st = form->state();
    EXPECT_EQ(st.lSysVer, 3);
    EXPECT_EQ(st.lConf[39], 5) << "group 2, field 7 under version 2";
    EXPECT_EQ(st.lConf[103], 6) << "and under version 3";
    EXPECT_EQ(c(C::txtMemoAll).text(), "x");
    EXPECT_EQ(c(C::txtMIBCustomization).text(), "a\r\nb\r\n");
    EXPECT_EQ(c(C::txtPath).text(), " /p ") << "the value keeps its blanks";
    EXPECT_EQ(c(C::txtCfgUnit, 0).text(), "10200");
    EXPECT_EQ(c(C::txtCfgUnit, 1).text(), "100");
    EXPECT_EQ(c(C::txtSerial).text(), "QV2");
    EXPECT_EQ(c(C::txtFile3, 0).text(), "");
    EXPECT_EQ(st.lConf[48 + 5], 8);
    EXPECT_EQ(st.lConf[48 + 6], 0) << "an indexed key keeps its blanks";
    EXPECT_EQ(st.strMemo[1], "m1");
    EXPECT_EQ(c(C::txtAL, 3).text(), "a");
    EXPECT_EQ(c(C::txtALActive, 3).text(), "b");
    EXPECT_EQ(st.tFW[2].strPath, "/fw2.b");
    EXPECT_TRUE(services.messages.empty());
}

// Lines that make no sense change nothing, and every other line still
// counts, whatever comes between them.
TEST_F(SettingsFileTest, BadLinesAreIgnoredOneByOne) {
    // Binary noise with line breaks, "=" and "|" in it; its bytes above 127
    // keep it from spelling a key by chance.
    std::mt19937 random(7);
    constexpr char kMarks[] = {'\n', '\n', '\r', '=', '|', '\0'};
    std::string noise(1 << 16, '\0');
    for (char& ch : noise) {
        const uint32_t r = random();
        ch = r % 16 < 10 ? static_cast<char>(0x80 | (r >> 4)) : kMarks[r % 16 - 10];
    }
    std::string text = "SYSVER=4\r\nDIP=2\r\nCONF105=12\n" + noise +
                       "\nMEMOALL=" + std::string(200000, 'm') +
                       "\r\nMEMOALL=" + std::string(3 << 20, 'n') + "\nAL05=five\n";
    for (const char* bad : {"CONF105=abc",
                            "CONF105=1.5",
                            "CONF105=99999999999",
                            "CONF9999=1",
                            "CONF-1=1",
                            "CONF1-5=1",
                            "CONF199=1",
                            "CONF847=1",
                            "FWPATH8=x",
                            "FWPATH-1=x",
                            "FWPATH12=x",
                            "PROFILEMEMO9=x",
                            "PROFILEMEMOx=x",
                            "AL00=x",
                            "AL25=x",
                            "AL99999=x",
                            "AL123456789012345=x",
                            "AL-1=x",
                            "ACTIVEAL09=x",
                            "ALPHA=x",
                            "SYSVER=5",
                            "SYSVER=0",
                            "SYSVER=2.5",
                            "SYSVER=x",
                            "DIP=4",
                            "DIP=0",
                            "DIP="})
        text += std::string(bad) + "\n";
    WriteText(settingsPath(), text);
    StartForm();
    const WindowState& st = form->state();
    EXPECT_EQ(st.lSysVer, 4);
    EXPECT_EQ(st.lGroupCount, 4);
    EXPECT_EQ(c(C::txtMemoAll).text().size(), 200000u) << "the overlong line is passed over";
    EXPECT_EQ(c(C::txtAL, 5).text(), "five");
    for (int i = 0; i < kConfEntries; ++i)
        EXPECT_EQ(st.lConf[i], i == 48 + 5 ? 12 : 0) << i;
    for (int k = 1; k <= kFWEntries; ++k)
        EXPECT_EQ(st.tFW[k].strPath, "c:\\abc.txt") << k;
    for (const std::string& memo : st.strMemo)
        EXPECT_EQ(memo, "");
    EXPECT_TRUE(services.messages.empty());
}

// No frame shows txtMemoAll: an empty memo is asked for; Cancel ends the
// save, an answer is kept and saved.
TEST_F(SettingsFileTest, SaveConfigAsksForTheMemo) {
    services.next_file = services.folder + "/asked.ini";
    c(C::txtMemoAll).setText("");
    form->controls().userClick(c(C::btnSaveCfg));
    EXPECT_TRUE(services.filters.empty()) << "cancelled before the file dialog";
    services.typed = "line 3";
    form->controls().userClick(c(C::btnSaveCfg));
    EXPECT_EQ(services.messages, std::vector<std::string>(2, "please input the memo"));
    EXPECT_EQ(c(C::txtMemoAll).text(), "line 3");
    EXPECT_NE(ReadText(services.next_file).find("\r\nMEMOALL=line 3\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, SaveConfigAndLoadConfig) {
    services.next_file = services.folder + "/user.ini";
    c(C::txtMemoAll).setText("  ");
    ASSERT_TRUE(form->controls().userClick(c(C::btnSaveCfg)));
    c(C::txtMemoAll).setText("board A");
    c(C::txtMIBConf, 0).setText("x");
    form->controls().userClick(c(C::btnSaveCfg));
    EXPECT_EQ(services.messages,
              (std::vector<std::string>{"please input the memo",
                                        "position 1 configuration must be numeric"}));
    EXPECT_TRUE(services.filters.empty());
    EXPECT_FALSE(fs::exists(services.next_file));

    c(C::txtMIBConf, 0).setText("77");
    c(C::txtMIBCustomization).setText("a\r\n\r\nb");
    form->controls().userClick(c(C::btnSaveCfg));
    EXPECT_EQ(services.filters, std::vector<std::string>{"Config File (*.ini)|*.ini"});
    const std::string saved = ReadText(services.next_file);
    EXPECT_NE(saved.find("\r\nCONF000=77\r\n"), std::string::npos);
    EXPECT_NE(saved.find("\r\nMIBCUST=a|b\r\n"), std::string::npos);

    // Without CONF lines, every group comes back at its defaults.
    for (int version : {2, 3}) {
        SCOPED_TRACE(version);
        WriteText(services.next_file, "SYSVER=" + std::to_string(version) +
                                          "\r\nDIP=2\r\nPROFILEMEMO2=third\r\nFWPATH0=/a.b\r\n"
                                          "MIBCUST=a|b");
        c(C::cmbSysVer).setListIndex(version - 1);
        c(C::cmbGroup).setListIndex(2);
        form->state().lConf.fill(-1);
        form->controls().userClick(c(C::btnLoadCfg));
        const WindowState& st = form->state();
        for (int g = 0; g < 8; ++g)
            for (int k = 0; k < (version == 2 ? kV12Fields : kFieldBoxes); ++k)
                ASSERT_EQ(st.lConf[g * st.lFieldCount + k], version == 2
                                                                ? kConfigFields[k].default_v12
                                                                : kConfigFields[k].default_v34)
                    << g << " " << k;
        EXPECT_EQ(c(C::txtMIBConf, 10).text(), version == 2 ? "0" : "3");
        EXPECT_EQ(c(C::txtMemo).text(), "third");
        EXPECT_EQ(c(C::txtMIBCustomization).text(), "a\r\nb");
        EXPECT_EQ(st.lDipBits, 2);
        EXPECT_EQ(st.lGroupCount, 8) << "the DIP count waits for the next start";
    }
    EXPECT_EQ(c(C::txtFile3, 1).text(), "/a.b") << "the shown firmware entry";

    const std::string missing = services.folder + "/none.ini";
    services.next_file = missing;
    form->state().lConf[1] = -5;
    form->controls().userClick(c(C::btnLoadCfg));
    EXPECT_EQ(services.messages.back(), "config file (" + missing + ") not exist");
    EXPECT_EQ(form->state().lConf[1], -5);
    EXPECT_EQ(services.messages.size(), 3u);
}

TEST_F(SettingsFileTest, AnUnreadableSettingsFileIsToldOnceAndTheDefaultsStay) {
    fs::create_directory(settingsPath());
    StartForm();
    EXPECT_EQ(services.messages,
              std::vector<std::string>{"config file (" + settingsPath() + ") cannot be read"});
    EXPECT_EQ(form->state().lGroupCount, 8);
    form->Form_Unload();
    EXPECT_EQ(services.messages.back(), "Save data to ini fail");
    EXPECT_TRUE(fs::is_directory(settingsPath()));
}

// The keys added later: a file of an older build lacks them and the boxes
// keep their start values; a value other than 0 or 1, or a clock the list
// does not offer, is passed over.
TEST_F(SettingsFileTest, TheCheckBoxKeysOfLaterBuilds) {
    WriteText(settingsPath(), "SYSVER=3\r\nMEMOALL=old\r\n");
    StartForm();
    EXPECT_EQ(c(C::chkFast).value(), 0);
    EXPECT_EQ(c(C::chkBackup).value(), 0); // a Flash backs up only where asked to
    EXPECT_EQ(c(C::cmbClock).text(), "15 MHz");
    EXPECT_EQ(c(C::txtRecord).text(), "");
    WriteText(settingsPath(), "FASTPROGRAM=1\r\nBACKUP=1\r\nBACKUP=7\r\nFASTCLOCK=6 MHz\r\n"
                              "FASTCLOCK=12 MHz\r\nRECORD=none\r\n");
    StartForm();
    EXPECT_EQ(c(C::chkFast).value(), 1);
    EXPECT_EQ(c(C::chkBackup).value(), 1);
    EXPECT_EQ(c(C::cmbClock).text(), "6 MHz");
    EXPECT_EQ(c(C::txtRecord).text(), "none");
    form->SaveINI("");
    const std::string text = ReadText(settingsPath());
    const std::string tail = "FASTPROGRAM=1\r\nBACKUP=1\r\nFASTCLOCK=6 MHz\r\nRECORD=none\r\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

// The close keeps what the boxes show, also edits no group switch carried
// over yet.
TEST_F(SettingsFileTest, TheCloseKeepsTheEditsOfTheShownGroupAndEntry) {
    c(C::cmbGroup).setListIndex(2);
    c(C::txtMIBConf, 4).setText("444");
    c(C::txtMemo).setText("third");
    c(C::txtFile3, 1).setText("/fw/shown.b");
    form->Form_Unload();
    StartForm();
    EXPECT_EQ(form->state().lConf[2 * 48 + 4], 444);
    EXPECT_EQ(form->state().strMemo[2], "third");
    EXPECT_EQ(c(C::txtFile3, 1).text(), "/fw/shown.b");
}

// A version-3 file may still hold the OT line of an older version: after
// the start the firmware boxes show entry 1 as the file gave it, both
// firmware lists offer every entry of the DIP count, and the close writes
// the entries back unchanged.
TEST_F(SettingsFileTest, AStaleOTLineChangesNoFirmwareEntry) {
    for (int dip : {1, 2}) {
        SCOPED_TRACE(dip);
        WriteText(settingsPath(),
                  "BOOTCODE=C:\\fw\\boot.b\r\nSYSVER=3\r\nFWPATH0=C:\\fw\\img0.b\r\n"
                  "FWPATH1=C:\\fw\\img1.b\r\nOT=C:\\fw\\ot1.b\r\nDIP=" +
                      std::to_string(dip) + "\r\n");
        StartForm();
        EXPECT_EQ(c(C::txtFile3, 1).text(), "C:\\fw\\img0.b");
        const std::vector<std::string> entries = dip == 1
                                                     ? std::vector<std::string>{"1", "2"}
                                                     : std::vector<std::string>{"1", "2", "3", "4"};
        EXPECT_EQ(c(C::cmbFWGrp).items(), entries);
        EXPECT_EQ(c(C::cmbFwGrp2).items(), entries);
        EXPECT_EQ(c(C::cmbGroup).items().size(), entries.size() == 2 ? 8u : 4u);
        form->Form_Unload();
        const std::string written = ReadText(settingsPath());
        EXPECT_NE(written.find("FWPATH0=C:\\fw\\img0.b\r\nFWPATH1=C:\\fw\\img1.b\r\n"),
                  std::string::npos);
    }
}

// The file holds the code page, one byte a character; a file an older build
// wrote in UTF-8 reads the same, and a path the code page cannot hold stays
// UTF-8 rather than being lost.
TEST_F(SettingsFileTest, TextIsWindows1252OnDisk) {
    WriteText(settingsPath(), "MEMOALL=K\xe4se\r\nSerialNumber=Gr\xc3\xbc\xc3\x9f\r\n"
                              "PACKPATH=/fw/\xe6\x97\xa5.b\r\n");
    StartForm();
    EXPECT_EQ(c(C::txtMemoAll).text(), "K\u00e4se");
    EXPECT_EQ(c(C::txtSerial).text(), "Gr\u00fc\u00df");
    EXPECT_EQ(c(C::txtPath2).text(), "/fw/\u65e5.b");
    form->Form_Unload();
    const std::string written = ReadText(settingsPath());
    for (const char* line :
         {"MEMOALL=K\xe4se\r\n", "SerialNumber=Gr\xfc\xdf\r\n", "PACKPATH=/fw/\xe6\x97\xa5.b\r\n"})
        EXPECT_NE(written.find(line), std::string::npos) << line;
}

// A save stopped between the temporary file and the rename, as by a crash,
// leaves the old file as it was.
TEST_F(SettingsFileTest, AnInterruptedSaveLeavesTheOldFileWhole) {
    form->SaveINI("");
    const std::string old_text = ReadText(settingsPath());
    auto temporaries = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(services.folder))
            if (entry.path().extension() == ".tmp") names.push_back(entry.path().string());
        return names;
    };
    {
        FileReplacement save(settingsPath());
        ASSERT_TRUE(save.write("MEMOALL=newer\r\n"));
        EXPECT_EQ(ReadText(settingsPath()), old_text);
        ASSERT_EQ(temporaries().size(), 1u);
        EXPECT_EQ(ReadText(temporaries()[0]), "MEMOALL=newer\r\n");
    }
    EXPECT_EQ(ReadText(settingsPath()), old_text);
    EXPECT_TRUE(temporaries().empty());
    ASSERT_TRUE(ReplaceFile(settingsPath(), "MEMOALL=newer\r\n"));
    StartForm();
    EXPECT_EQ(c(C::txtMemoAll).text(), "newer");
    EXPECT_TRUE(temporaries().empty());
}

// A save replaces a plain file, through a link its target (the link
// stays); anything else keeps what it is and the save says it failed.
TEST_F(SettingsFileTest, ASaveReplacesOnlyAPlainFileItMayWrite) {
    const std::string target = services.folder + "/shared.ini";
    struct Case {
        const char* name;
        void (*make)(const std::string& path, const std::string& target);
        bool saved;
    };
    const Case cases[] = {
        {"link", [](const std::string& p, const std::string& t) { fs::create_symlink(t, p); },
         true},
        {"pipe", [](const std::string& p, const std::string&) { ::mkfifo(p.c_str(), 0644); },
         false},
        {"folder", [](const std::string& p, const std::string&) { fs::create_directory(p); },
         false},
        {"read-only",
         [](const std::string& p, const std::string&) {
             WriteText(p, "MEMOALL=kept\r\n");
             fs::permissions(p, fs::perms::owner_read);
         },
         false},
    };
    c(C::txtMemoAll).setText("saved");
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        WriteText(target, "MEMOALL=old\r\n");
        const std::string path = services.folder + "/" + k.name + ".ini";
        k.make(path, target);
        const auto type = fs::symlink_status(path).type();
        services.messages.clear();
        form->SaveINI(path);
        EXPECT_EQ(fs::symlink_status(path).type(), type);
        const bool memo_saved = ReadText(target).find("MEMOALL=saved") != std::string::npos;
        EXPECT_EQ(memo_saved, k.saved);
        EXPECT_EQ(services.messages.size(), k.saved ? 0u : 1u);
    }
    EXPECT_EQ(services.messages, std::vector<std::string>{"Save data to ini fail"});
    EXPECT_EQ(ReadText(services.folder + "/read-only.ini"), "MEMOALL=kept\r\n");
}

// Load config of a file that is no configuration (empty, CR only, an
// image) names it and changes nothing.
TEST_F(SettingsFileTest, LoadConfigRefusesAFileWithoutSettingsLines) {
    c(C::txtMemoAll).setText("mine");
    form->state().lConf[1] = -5;
    for (const std::string& text : {std::string(), std::string("\r\r\r"), std::string(4096, '\xff'),
                                    std::string("NOKEY=1\r\nMEMOALL\r\n")}) {
        services.next_file = services.folder + "/not-a-config.ini";
        WriteText(services.next_file, text);
        services.messages.clear();
        form->controls().userClick(c(C::btnLoadCfg));
        EXPECT_EQ(services.messages,
                  std::vector<std::string>{"config file (" + services.next_file +
                                           ") holds no settings line; nothing was changed"});
        EXPECT_EQ(c(C::txtMemoAll).text(), "mine");
        EXPECT_EQ(form->state().lConf[1], -5);
    }
}

} // namespace
} // namespace plexmoor::testing
