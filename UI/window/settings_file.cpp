// The window's settings file and the user's configuration files:
// one format, written by SaveINI and read by LoadIni along the key table,
// the configuration defaults, and the buttons "Save config" and "Load
// config".
#include "flash_form.h"

#include "ansi_text.h"
#include "field_table.h"
#include "file_replacement.h"
#include "numbers.h"
#include "os.h"
#include "settings_keys.h"
#include "text_functions.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace plexmoor {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Longer than any line a user's boxes make; a longer line is passed over
// whole rather than held in memory.
constexpr std::size_t kLongestLine = std::size_t{1} << 20;
// The program's folder in the user's folder for settings.
constexpr std::string_view kUserSettingsFolder = "plexmoor";
constexpr const char* kConfigExtension = ".ini";

bool WrittenUnder(Written written, int32_t version) {
    switch (written) {
    case Written::Always:
        return true;
    case Written::KnownVersion:
        return version >= 1 && version <= 4;
    case Written::Versions12:
        return version == 1 || version == 2;
    case Written::Versions34:
        return version == 3 || version == 4;
    }
    return false;
}

bool PerGroup(KeyKind kind) {
    return kind == KeyKind::GroupValue || kind == KeyKind::GroupMemo;
}

// Keys compare without regard to case; bytes outside ASCII compare as they are.
char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameKey(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Upper(x) == Upper(y); });
}

std::string Padded(int n, int digits) {
    std::string s = std::to_string(n);
    if (s.size() < static_cast<std::size_t>(digits))
        s.insert(0, static_cast<std::size_t>(digits) - s.size(), '0');
    return s;
}

// One line per line break, empty lines dropped; and back, each run of "|"
// a line break.
std::string Flatten(std::string_view text) {
    return ReplaceRuns(ReplaceRuns(text, '\r', ""), '\n', "|");
}

std::string Unflatten(std::string_view value) {
    return ReplaceRuns(value, '|', kLineEnd);
}

// A decimal index: a few digits and nothing else.
std::optional<int32_t> Index(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int32_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The rows whose name or alias starts with each letter, in table order: a
// line is tried against a few rows rather than all of them.
const std::array<std::vector<const SettingsKey*>, 256>& RowsByInitial() {
    static const auto rows = [] {
        std::array<std::vector<const SettingsKey*>, 256> by;
        for (const SettingsKey& k : kSettingsKeys)
            for (std::string_view name : {k.name, k.alias}) {
                if (name.empty()) continue;
                auto& row = by[static_cast<unsigned char>(Upper(name[0]))];
                if (row.empty() || row.back() != &k) row.push_back(&k);
            }
        return by;
    }();
    return rows;
}

struct KeyMatch {
    const SettingsKey* key = nullptr;
    int32_t group = 0; // of a GroupValue key
    int32_t index = 0;
};

// The row a line's key stands for. A whole key matches with its blanks
// removed; an indexed key by its first characters, blanks kept, followed by
// its index of up to `digits` digits and nothing but blanks. Whole keys are
// tried first, so a key that merely starts like an indexed one is not taken
// for it.
std::optional<KeyMatch> MatchKey(std::string_view key) {
    const std::string whole = Trim(key);
    if (whole.empty()) return std::nullopt;
    const auto& rows = RowsByInitial();
    for (const SettingsKey* row : rows[static_cast<unsigned char>(Upper(whole[0]))]) {
        const SettingsKey& k = *row;
        if (k.digits == 0 &&
            (SameKey(whole, k.name) || (!k.alias.empty() && SameKey(whole, k.alias))))
            return KeyMatch{&k};
    }
    for (const SettingsKey* row : rows[static_cast<unsigned char>(Upper(key[0]))]) {
        const SettingsKey& k = *row;
        if (k.digits == 0 || !SameKey(key.substr(0, k.name.size()), k.name)) continue;
        std::string_view rest = key.substr(k.name.size());
        KeyMatch match{&k};
        if (k.kind == KeyKind::GroupValue) {
            std::optional<int32_t> group = Index(rest.substr(0, 1));
            if (!group) return std::nullopt;
            match.group = *group;
            rest.remove_prefix(1);
        }
        rest = rest.substr(0, rest.find_last_not_of(' ') + 1);
        if (rest.size() > static_cast<std::size_t>(k.digits)) return std::nullopt;
        std::optional<int32_t> index = Index(rest);
        if (!index) return std::nullopt;
        match.index = *index;
        return match;
    }
    return std::nullopt;
}

// Each line of the stream, ended by LF or CR LF (or by the end of the file).
void ReadLines(std::istream& in, const std::function<void(std::string_view)>& take) {
    std::string line;
    bool too_long = false;
    auto end_line = [&] {
        if (!too_long) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            take(line);
        }
        line.clear();
        too_long = false;
    };
    char buffer[1 << 14];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        std::string_view chunk(buffer, static_cast<std::size_t>(in.gcount()));
        for (;;) {
            const std::size_t lf = chunk.find('\n');
            const std::string_view part = chunk.substr(0, lf);
            if (!too_long && line.size() + part.size() > kLongestLine) {
                too_long = true;
                line.clear();
            }
            if (!too_long) line += part;
            if (lf == std::string_view::npos) break;
            end_line();
            chunk.remove_prefix(lf + 1);
        }
    }
    if (!line.empty()) end_line();
}

// Whether any line of the stream is KEY=value with a settings key; the
// stream is back at its start afterwards.
bool HoldsSettings(std::istream& in) {
    bool found = false;
    ReadLines(in, [&found](std::string_view line) {
        const std::size_t eq = line.find('=');
        if (!found && eq != std::string_view::npos)
            found = MatchKey(line.substr(0, eq)).has_value();
    });
    in.clear();
    in.seekg(0);
    return found;
}

} // namespace

// ---------------------------------------------------------------------------
// Writing

std::string FlashForm::settingsText() {
    std::string out;
    auto line = [&out](std::string_view key, std::string_view value) {
        out += key;
        out += '=';
        out += ToFileText(value);
        out += kLineEnd;
    };
    const std::size_t rows = std::size(kSettingsKeys);
    for (std::size_t r = 0; r < rows; ++r) {
        const SettingsKey& k = kSettingsKeys[r];
        if (PerGroup(k.kind)) {
            // The run of per-group rows, written group by group.
            std::size_t end = r;
            while (end < rows && PerGroup(kSettingsKeys[end].kind))
                ++end;
            for (int32_t g = 0; g < st_.lGroupCount && g < kMemos; ++g) {
                for (std::size_t q = r; q < end; ++q) {
                    const SettingsKey& gk = kSettingsKeys[q];
                    if (!WrittenUnder(gk.written, st_.lSysVer)) continue;
                    if (gk.kind == KeyKind::GroupMemo) {
                        line(std::string(gk.name) + Padded(g, gk.digits),
                             st_.strMemo[static_cast<std::size_t>(g)]);
                        continue;
                    }
                    const std::string name = std::string(gk.name) + std::to_string(g);
                    for (int32_t p = 0; p < st_.lFieldCount; ++p)
                        if (std::optional<std::size_t> at = confIndex(g, p))
                            line(name + Padded(p, gk.digits), std::to_string(st_.lConf[*at]));
                }
            }
            r = end - 1;
            continue;
        }
        if (!WrittenUnder(k.written, st_.lSysVer)) continue;
        switch (k.kind) {
        case KeyKind::Check:
            line(k.name, std::to_string(control(*k.box, k.index).value()));
            break;
        case KeyKind::Lines:
            line(k.name, Flatten(control(*k.box, k.index).text()));
            break;
        case KeyKind::FirmwarePath:
            for (int i = 0; i < st_.lFWCount && i < kFWEntries; ++i)
                line(std::string(k.name) + Padded(i, k.digits),
                     st_.tFW[static_cast<std::size_t>(i + 1)].strPath);
            break;
        case KeyKind::BoxArray:
            for (int i = k.index; i < k.index + k.count; ++i)
                line(std::string(k.name) + Padded(i, k.digits), control(*k.box, i).text());
            break;
        default:
            line(k.name, control(*k.box, k.index).text());
            break;
        }
    }
    return out;
}

// Beside the program first, so a copy carried on a stick keeps its settings
// with it; where the program's folder takes no files (an installed
// program's belongs to root), in the user's folder for settings. A file
// beside a read-only program is read until the user has one of their own.
std::string FlashForm::settingsPath(bool for_writing) {
    namespace fs = std::filesystem;
    const std::string beside = programPath(text::kSettingsFile);
    const std::string config = os::user_config_folder();
    if (config.empty() || os::folder_writable(services_.programFolder())) return beside;
    const fs::path folder = fs::path(config) / kUserSettingsFolder;
    const std::string own = (folder / text::kSettingsFile).string();
    std::error_code ec;
    if (for_writing) {
        fs::create_directories(folder, ec);
        return own;
    }
    return fs::exists(own, ec) || !fs::exists(beside, ec) ? own : beside;
}

void FlashForm::SaveINI(const std::string& strCfgPath) {
    const std::string target = strCfgPath.empty() ? settingsPath(true) : strCfgPath;
    if (!ReplaceFile(target, settingsText())) message(text::kSaveIniFail);
}

// ---------------------------------------------------------------------------
// Reading

// A line whose key is unknown, whose number or index is none or lies
// outside its table, changes nothing; the other lines still count.
void FlashForm::applySetting(std::string_view line) {
    const std::size_t eq = line.find('=');
    const std::string_view key = line.substr(0, eq);
    std::string_view value;
    if (eq != std::string_view::npos) {
        value = line.substr(eq + 1);
        value = value.substr(0, value.find('='));
    }
    const std::optional<KeyMatch> match = MatchKey(key);
    if (!match) return;
    const SettingsKey& k = *match->key;
    const int32_t i = match->index;
    switch (k.kind) {
    case KeyKind::Text:
        control(*k.box, k.index).setText(std::string(value));
        break;
    case KeyKind::Check:
        if (std::optional<int32_t> v = ParseDecimal32(value); v && (*v == 0 || *v == 1))
            control(*k.box, k.index).setValue(*v);
        break;
    case KeyKind::ListItem: {
        Control& list = control(*k.box, k.index);
        const auto& items = list.items();
        if (auto at = std::find(items.begin(), items.end(), value); at != items.end())
            list.setListIndex(static_cast<int>(at - items.begin()));
        break;
    }
    case KeyKind::Lines:
        control(*k.box, k.index).setText(Unflatten(value));
        break;
    case KeyKind::FirmwareBox: {
        // Under versions 3 and 4 the box belongs to the firmware entries and
        // the FWPATH lines give them; an OT line left from an older version
        // must not overwrite one.
        const int entry = st_.iFWIndex >= 1 && st_.iFWIndex <= kFWEntries ? st_.iFWIndex : 1;
        if (st_.lSysVer == 1 || st_.lSysVer == 2)
            st_.tFW[static_cast<std::size_t>(entry)].strPath = std::string(value);
        control(*k.box, k.index).setText(std::string(value));
        break;
    }
    case KeyKind::SystemVersion:
        if (std::optional<int32_t> v = ParseDecimal32(value); v && *v >= 1 && *v <= 4) {
            control(*k.box).setListIndex(*v - 1);
            st_.lSysVer = *v;
        }
        break;
    case KeyKind::DipCount:
        if (std::optional<int32_t> v = ParseDecimal32(value); v && *v >= 1 && *v <= 3)
            st_.lDipBits = *v;
        break;
    case KeyKind::Fixed:
        control(*k.box, k.index).setText(std::string(k.fixed));
        break;
    case KeyKind::GroupSize:
        control(*k.box, k.index).setText(std::string(k.fixed));
        st_.lGroupStride = HexToInt32(k.fixed).value_or(st_.lGroupStride);
        break;
    case KeyKind::FirmwarePath:
        if (i + 1 <= kFWEntries)
            st_.tFW[static_cast<std::size_t>(i + 1)].strPath = std::string(value);
        break;
    case KeyKind::GroupValue: {
        // With the N in force now; a field beyond N would land in the next group.
        std::optional<int32_t> v = ParseDecimal32(value);
        std::optional<std::size_t> at = confIndex(match->group, i);
        if (v && at && i < st_.lFieldCount) st_.lConf[*at] = *v;
        break;
    }
    case KeyKind::GroupMemo:
        if (i < kMemos) st_.strMemo[static_cast<std::size_t>(i)] = std::string(value);
        break;
    case KeyKind::BoxArray:
        if (i >= k.index && i < k.index + k.count) control(*k.box, i).setText(std::string(value));
        break;
    }
}

bool FlashForm::LoadIni(const std::string& strCfgPath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // A front end that keeps its own session is not the window: without a
    // file of its own it starts from the window's defaults, never from what
    // was last typed into the window (its settings file).
    if (strCfgPath.empty() && !own_session_) return LoadIniLines(nullptr);
    if (!strCfgPath.empty() && !fs::exists(strCfgPath, ec)) {
        message(std::string(text::kConfigFileBefore) + strCfgPath +
                std::string(text::kConfigFileMissing));
        return false;
    }
    const std::string source = strCfgPath.empty() ? settingsPath(false) : strCfgPath;
    std::ifstream in;
    if (fs::exists(source, ec)) {
        // Only a plain file is read: a folder or a pipe of that name would
        // fail or never end.
        if (fs::is_regular_file(source, ec)) in.open(source, std::ios::binary);
        if (!in.is_open()) {
            message(std::string(text::kConfigFileBefore) + source +
                    std::string(text::kConfigFileUnreadable));
            // A user's file changes nothing then; the window's own starts
            // with its defaults.
            if (!strCfgPath.empty()) return false;
        }
    }
    // A user's file must be a configuration: an empty file, a packed image
    // or any other file given by mistake would otherwise reset the window
    // to its defaults, and a serial run would number a board from them.
    if (in.is_open() && !strCfgPath.empty() && !HoldsSettings(in)) {
        message(std::string(text::kConfigFileBefore) + source +
                std::string(text::kConfigFileNoSettings));
        return false;
    }
    return LoadIniLines(in.is_open() ? &in : nullptr);
}

bool FlashForm::LoadIniLines(std::istream* in) {
    st_.lDipBits = 1;
    ConfDef();
    if (!in) return false;
    ReadLines(*in, [this](std::string_view line) { applySetting(FromFileText(line)); });
    return true;
}

// The defaults of every group known now; none during start-up, before the
// DIP count has made the groups.
void FlashForm::ConfDef() {
    const bool short_groups = st_.lSysVer == 1 || st_.lSysVer == 2;
    if (!short_groups && !versionHasMemos()) return;
    const int fields = short_groups ? kV12Fields : kFieldBoxes;
    for (int32_t g = 0; g < st_.lGroupCount; ++g) {
        for (int k = 0; k < fields; ++k) {
            const ConfigField& f = kConfigFields[static_cast<std::size_t>(k)];
            if (std::optional<std::size_t> at = confIndex(g, k))
                st_.lConf[*at] = short_groups ? f.default_v12 : f.default_v34;
        }
    }
}

// ---------------------------------------------------------------------------
// Save config and Load config

void FlashForm::btnSaveCfg_Click(const EventArgs&) {
    // No frame shows the memo's box, so the memo is asked for here.
    if (Trim(control(C::txtMemoAll).text()).empty()) {
        const std::optional<std::string> memo = services_.inputBox(std::string(text::kInputMemo));
        if (!memo) return;
        if (Trim(*memo).empty()) {
            message(text::kInputMemo);
            return;
        }
        control(C::txtMemoAll).setText(*memo);
    }
    // A box without a number has been named by StoreEdits; a file with the
    // group's older values would not be what the user sees.
    if (!StoreEdits()) return;
    std::string path = services_.saveFileDialog(std::string(text::kConfigFileFilter));
    if (path.empty()) return;
    // The filter offers .ini files; a name typed without it is one of them.
    if (std::filesystem::path(path).extension().empty()) path += kConfigExtension;
    const std::size_t told = session_.transcript().count();
    SaveINI(path);
    if (session_.transcript().count() == told)
        showResult(std::string(text::kOperationSaveConfig) + ": " + std::string(text::kResultDone) +
                   ", " + path);
}

void FlashForm::btnLoadCfg_Click(const EventArgs&) {
    const std::string path = services_.openFileDialog(std::string(text::kConfigFileFilter));
    if (path.empty()) return;
    if (!LoadIni(path)) {
        showResult(std::string(text::kOperationLoadConfig) + ": " +
                   std::string(text::kResultRefused) + ", " + path);
        return;
    }
    showResult(std::string(text::kOperationLoadConfig) + ": " + std::string(text::kResultDone) +
               ", " + path);
    const int32_t g = WholeNumber(control(C::cmbGroup).text());
    if (g >= 1 && g <= kMemos) {
        showGroupBoxes(g);
        control(C::txtMemo).setText(st_.strMemo[static_cast<std::size_t>(g - 1)]);
    }
    // The shown firmware entry's path may have come from the file; the box
    // must show it, or storing the boxes would put the old path back.
    if (st_.iFWIndex >= 1 && st_.iFWIndex <= kFWEntries)
        control(C::txtFile3, 1).setText(st_.tFW[static_cast<std::size_t>(st_.iFWIndex)].strPath);
}

} // namespace plexmoor
