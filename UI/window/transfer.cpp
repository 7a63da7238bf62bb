// The transfer of every window value into the library's tables and path
// slots, in the order of the system version. The calls are planned first
// and made only when every value converted: a box that holds no number the
// field can take ends the transfer before the library sees any field, so no
// image is packed from half a configuration.
#include "flash_form.h"

#include "ansi_text.h"
#include "control_table.h"
#include "field_table.h"
#include "list_records.h"
#include "numbers.h"
#include "text_functions.h"
#include "texts.h"

#include <vector>

namespace plexmoor {
namespace {

constexpr std::size_t kMaxSerial = 45;
constexpr int kListNumbers = 5;

// One library call of the transfer.
struct Call {
    enum class Kind { kAction, kPath, kSerial } kind;
    int32_t code = 0, b = 0, c = 0, d = 0;
    std::string text;
};

uint8_t CharCode(std::string_view text, std::size_t i) {
    return i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
}

class Planner {
  public:
    Planner(FlashForm& form, std::vector<Call>& calls) : form_(form), calls_(calls) {}

    void action(int32_t code, int32_t b, int32_t c, int32_t d) {
        calls_.push_back({Call::Kind::kAction, code, b, c, d, {}});
    }
    void path(int32_t slot, const std::string& text) {
        calls_.push_back({Call::Kind::kPath, ZINTRA_STORE_PATH, slot, 0, 0, text});
    }
    void serial(const std::string& text) {
        calls_.push_back({Call::Kind::kSerial, 0, 0, 0, 0, text});
    }
    // Characters as bytes, 0 past the text's end.
    void bytes(int32_t code, int32_t at, std::string_view text, int32_t count) {
        for (int32_t i = 0; i < count; ++i)
            action(code, at + i, CharCode(text, static_cast<std::size_t>(i)), 1);
    }

    // A value the field needs as a number; nothing, after saying so, when
    // the text holds none that fits.
    std::optional<int32_t> decimal(const std::string& what, const std::string& text) {
        return refused(ParseDecimal32(text), what, text);
    }
    std::optional<int32_t> hex(const std::string& what, const std::string& text) {
        return refused(HexToInt32(text), what, text);
    }
    // Text as the block holds it, one byte a character; nothing, after
    // saying so, when a character has no byte in the code page.
    std::optional<std::string> ansi(const std::string& what, const std::string& text) {
        std::optional<std::string> bytes = ToCodePage(text);
        if (!bytes)
            fail(what + std::string(text::kNotInCodePage) + text +
                 std::string(text::kNothingPacked));
        return bytes;
    }
    bool fail(const std::string& why) {
        form_.tell(why);
        return false;
    }

    Control& box(C id, int index = kNoIndex) { return form_.control(id, index); }
    WindowState& st() { return form_.state(); }

  private:
    std::optional<int32_t> refused(std::optional<int32_t> v, const std::string& what,
                                   const std::string& text) {
        if (!v)
            fail(what + std::string(text::kValueRefused) + text +
                 std::string(text::kNothingPacked));
        return v;
    }

    FlashForm& form_;
    std::vector<Call>& calls_;
};

std::string Named(std::string_view caption, const Control& box) {
    return std::string(caption) + " (" + box.key() + ")";
}

std::string FirmwareName(std::string_view part, int k) {
    return std::string(part) + " of firmware entry " + std::to_string(k);
}

// The serial as the library takes it, or nothing after saying why not.
std::optional<std::string> Serial(Planner& p) {
    const std::optional<std::string> serial =
        p.ansi(Named("Serial", p.box(C::txtSerial)), Trim(p.box(C::txtSerial).text()));
    if (!serial || serial->size() <= kMaxSerial) return serial;
    p.fail(std::string(text::kSerialTooLong));
    return std::nullopt;
}

bool PlanVersion2(Planner& p) {
    const std::optional<std::string> serial = Serial(p);
    if (!serial) return false;
    for (int i = 0; i < block::kV2VersionFields; ++i) {
        const Control& b = p.box(C::txtFWVer, i);
        auto v = p.hex(Named(layout::kFWVerCaptions[static_cast<std::size_t>(i)], b), b.text());
        if (!v) return false;
        p.action(ZINTRA_SET_HEADER_FIELD, i, *v, 0);
    }
    auto global = p.decimal(Named("G1", p.box(C::txtGlobal, 0)), p.box(C::txtGlobal, 0).text());
    if (!global) return false;
    p.action(ZINTRA_SET_GROUP_FIELD, 0, *global, 0);
    const WindowState& st = p.st();
    for (int32_t g = 0; g < st.lGroupCount; ++g)
        for (int32_t q = 0; q < st.lFieldCount; ++q) {
            int32_t at = g * st.lFieldCount + q;
            if (at >= kConfEntries) return false;
            p.action(ZINTRA_SET_PORT_FIELD, at, st.lConf[static_cast<std::size_t>(at)], 0);
        }
    p.serial(*serial);
    return true;
}

bool PlanPaths(Planner& p) {
    p.path(0, p.box(C::txtFile3, 0).text());
    for (int k = 1; k <= p.st().lFWCount && k <= kFWEntries; ++k)
        p.path(k, p.st().tFW[static_cast<std::size_t>(k)].strPath);
    return true;
}

bool PlanVersion3(Planner& p) {
    const std::optional<std::string> serial = Serial(p);
    if (!serial) return false;
    const WindowState& st = p.st();
    auto dip = p.decimal(Named("FW DIP count", p.box(C::cmbBit)), p.box(C::cmbBit).text());
    if (!dip) return false;
    p.action(ZINTRA_SET_HEADER_FIELD, block::kV3SystemVersion, st.lSysVer, 0);
    p.action(ZINTRA_SET_HEADER_FIELD, block::kV3DipCount, *dip, 0);
    for (int i = 0; i < 3; ++i) {
        const Control& b = p.box(C::txtCfgUnit, i);
        auto v = p.hex(Named(layout::kCfgUnitCaptions[static_cast<std::size_t>(i)], b), b.text());
        if (!v) return false;
        p.action(ZINTRA_SET_HEADER_FIELD, block::kV3FirstCfgUnit + i, *v, 0);
    }
    auto start = p.hex(Named("FW Start", p.box(C::txtFWStart)), p.box(C::txtFWStart).text());
    if (!start) return false;
    p.action(ZINTRA_SET_HEADER_FIELD, block::kV3FirmwareStart, *start, 0);
    for (int k = 0; k < st.lFWCount && k < kFWEntries; ++k) {
        const FWInfo& fw = st.tFW[static_cast<std::size_t>(k + 1)];
        const std::pair<const char*, const std::string*> words[] = {
            {"FW Version", &fw.strVer}, {"FW Date", &fw.strDate}, {"FW Time", &fw.strTime}};
        for (int w = 0; w < 3; ++w) {
            auto v = p.hex(FirmwareName(words[w].first, k + 1), *words[w].second);
            if (!v) return false;
            p.action(ZINTRA_SET_HEADER_FIELD, block::V3FirmwareField(k, w), *v, 0);
        }
    }
    for (int32_t g = 0; g < st.lGroupCount; ++g)
        for (int32_t q = 0; q < st.lFieldCount; ++q) {
            int32_t at = g * st.lFieldCount + q;
            if (at >= kConfEntries) return false;
            p.action(ZINTRA_SET_PORT_FIELD, g * st.lGroupStride + q,
                     st.lConf[static_cast<std::size_t>(at)], 0);
        }
    p.serial(*serial);
    return PlanPaths(p);
}

bool PlanList(Planner& p, const ListRecord& list) {
    const std::string all = p.box(list.box).text();
    for (int n = 1;; ++n) {
        const std::string line = Token(FieldOf(all, "\r\n", n));
        if (line.empty()) return true;
        if (n > kListRecords)
            return p.fail(std::string(list.caption) + std::string(text::kListTooLong));
        const int32_t r = (n - 1) * list.size;
        const std::string head = list.has_comment ? Token(FieldOf(line, "#", 1)) : line;
        for (int m = 1; m <= kListNumbers; ++m) {
            const ListNumber& num = list.numbers[static_cast<std::size_t>(m - 1)];
            const std::string token = Token(FieldOf(head, " ", m));
            std::optional<int32_t> v = num.hex ? HexToInt32(token) : ParseDecimal32(token);
            if (!v) {
                return p.fail(std::string(text::kListLine) + std::to_string(n) + " of " +
                              std::string(list.caption) + std::string(text::kListLineRefused) +
                              line + std::string(text::kNothingPacked));
            }
            p.action(list.set_field, r + num.offset, *v, num.width);
        }
        if (list.has_comment) {
            const std::optional<std::string> comment =
                p.ansi(std::string(text::kListLine) + std::to_string(n) + " of " +
                           std::string(list.caption),
                       FieldOf(line, "#", 2));
            if (!comment) return false;
            p.bytes(list.set_field, r + list.comment_offset, *comment, kCommentBytes);
        }
    }
}

bool PlanVersion4(Planner& p) {
    const WindowState& st = p.st();
    for (int k = 1; k <= kALFields; ++k) {
        const Control& b = p.box(C::txtAL, k);
        const int32_t at = st.lALPos[static_cast<std::size_t>(k)];
        const int32_t width = st.lALPos[static_cast<std::size_t>(k + 1)] - at;
        const std::string name = Named(kALTable[static_cast<std::size_t>(k - 1)].caption, b);
        if (b.tag() == kTextTag) {
            const std::optional<std::string> bytes = p.ansi(name, b.text());
            if (!bytes) return false;
            p.bytes(ZINTRA_SET_HEADER_FIELD, at, *bytes, kTextFieldBytes);
            continue;
        }
        auto v = b.tag() == kHexTag ? p.hex(name, b.text()) : p.decimal(name, b.text());
        if (!v) return false;
        p.action(ZINTRA_SET_HEADER_FIELD, at, *v, width);
    }
    for (int j = 0; j < kActiveLines; ++j) {
        const Control& b = p.box(C::txtALActive, j);
        auto v = p.decimal(Named(kActiveTable[static_cast<std::size_t>(j)].caption, b), b.text());
        if (!v) return false;
        for (int i = 0; i < block::kHeadBytes; ++i)
            p.action(ZINTRA_SET_GROUP_FIELD_2, block::Record(j) + i,
                     st.lALActiveHead[static_cast<std::size_t>(block::kHeadBytes * j + i)], 1);
        p.action(ZINTRA_SET_GROUP_FIELD_2, block::RecordValue(j), *v, block::kValueBytes);
    }
    for (int32_t g = 0; g < st.lGroupCount; ++g) {
        for (int32_t q = 0; q < st.lFieldCount; ++q) {
            const int32_t at = g * st.lFieldCount + q;
            if (at >= kConfEntries) return false;
            for (int i = 0; i < block::kHeadBytes; ++i)
                p.action(ZINTRA_SET_PORT_FIELD, block::Record(at) + i,
                         st.lFieldHead[static_cast<std::size_t>(block::kHeadBytes * q + i)], 1);
            p.action(ZINTRA_SET_PORT_FIELD, block::RecordValue(at),
                     st.lConf[static_cast<std::size_t>(at)], block::kValueBytes);
        }
        if (g < kMemos) {
            const std::optional<std::string> memo =
                p.ansi(Named("Memo of group " + std::to_string(g + 1), p.box(C::txtMemo)),
                       st.strMemo[static_cast<std::size_t>(g)]);
            if (!memo) return false;
            p.bytes(ZINTRA_SET_TABLE7_FIELD, block::kMemoBytes * g, *memo, block::kMemoBytes);
        }
    }
    for (const ListRecord& list : kListRecordTable)
        if (!PlanList(p, list)) return false;
    return PlanPaths(p);
}

} // namespace

bool FlashForm::PackMIBConf() {
    zintra().ZintraAction(ZINTRA_SET_SYSTEM_VERSION, st_.lSysVer, 0, 0);
    std::vector<Call> calls;
    Planner plan(*this, calls);
    bool ok = true;
    switch (st_.lSysVer) {
    case 1:
        message(text::kCantPackVersion1);
        return false;
    case 2:
        ok = PlanVersion2(plan);
        break;
    case 3:
        ok = PlanVersion3(plan);
        break;
    case 4:
        ok = PlanVersion4(plan);
        break;
    default:
        return true;
    }
    if (!ok) return false;
    for (const Call& call : calls) {
        switch (call.kind) {
        case Call::Kind::kAction:
            zintra().ZintraAction(call.code, call.b, call.c, call.d);
            break;
        case Call::Kind::kPath:
            zintra().ZintraActionStr(call.code, call.b, call.text);
            break;
        case Call::Kind::kSerial:
            zintra().PackSerial(call.text, static_cast<int32_t>(call.text.size()));
            break;
        }
    }
    return true;
}

} // namespace plexmoor
