// Reading a configuration back from the board's flash or a packed file into
// the window.
#include "flash_form.h"

#include "ansi_text.h"
#include "configuration_operations.h"
#include "field_table.h"
#include "list_records.h"
#include "numbers.h"
#include "program_image.h"
#include "text_functions.h"
#include "texts.h"

#include <cstdio>

namespace plexmoor {
namespace {

constexpr std::size_t kSerialBuffer = 48;
constexpr int kSysVerEntryOfVersion4 = 3;

// Upper-case hexadecimal of the 32 bits, at least `digits` wide.
std::string Hex(int32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, static_cast<uint32_t>(value));
    return buffer;
}

} // namespace

int32_t FlashForm::productNumber() {
    return WholeNumber(FieldOf(control(C::cmbPrd).text(), "-", 1));
}

std::string FlashForm::readBytes(int32_t table, int32_t at, int32_t count) {
    std::string out;
    for (int32_t i = 0; i < count; ++i)
        if (int32_t code = zintra().GetConf(table, at + i, 1); code != 0)
            out += static_cast<char>(code);
    return FromCodePage(out);
}

std::string FlashForm::listText(const ListRecord& list) {
    std::string text;
    for (int32_t n = 0; n < kListRecords; ++n) {
        const int32_t r = n * list.size;
        std::string line;
        for (const ListNumber& num : list.numbers) {
            const int32_t v = zintra().GetConf(list.table, r + num.offset, num.width);
            if (!line.empty()) line += ' ';
            line += num.hex ? Hex(v, 1) : std::to_string(v);
        }
        if (list.has_comment)
            line += "#" + readBytes(list.table, r + list.comment_offset, kCommentBytes);
        text += line + "\r\n";
        if (zintra().GetConf(list.table, r + list.end_byte, 1) == list.end_value) break;
    }
    return text;
}

// A version or DIP count the window has no entry for would select nothing
// and leave it half switched (an erased flash reads 16777215 in both); the
// value is named and the window stays as it was.
bool FlashForm::readBackFits() {
    int32_t version = 4;
    if (productNumber() == 1) {
        version = zintra().GetConf(ZINTRA_TABLE_HEADER, block::kV3SystemVersion, 3);
        if (version < 1 || version > 4) {
            message(std::string(text::kReadVersionUnknown) + std::to_string(version));
            return false;
        }
    }
    if (version == 3) {
        const int32_t dip = zintra().GetConf(ZINTRA_TABLE_HEADER, block::kV3DipCount, 3);
        if (dip < 1 || dip > 3) {
            message(std::string(text::kReadDipUnknown) + std::to_string(dip));
            return false;
        }
    }
    return true;
}

bool FlashForm::ShowConf() {
    if (!readBackFits()) return false;
    const int32_t entry =
        productNumber() == 1 ? zintra().GetConf(ZINTRA_TABLE_HEADER, block::kV3SystemVersion, 3) - 1
                             : kSysVerEntryOfVersion4;
    control(C::cmbSysVer).setListIndex(entry);
    st_.lSysVer = WholeNumber(control(C::cmbSysVer).text());
    if (st_.lSysVer < 2) message(text::kReadVersionWarning);
    const int32_t N = st_.lFieldCount;

    switch (st_.lSysVer) {
    case 2:
        for (int i = 0; i < block::kV2VersionFields; ++i)
            control(C::txtFWVer, i)
                .setText(Hex(zintra().GetConf(ZINTRA_TABLE_HEADER, block::V2VersionWord(i), 3), 6));
        control(C::txtGlobal, 0)
            .setText(std::to_string(zintra().GetConf(ZINTRA_TABLE_GROUP, 0, 3)));
        for (int32_t g = 0; g < st_.lGroupCount; ++g)
            for (int32_t p = 0; p < N; ++p)
                if (auto at = confIndex(g, p))
                    st_.lConf[*at] = zintra().GetConf(ZINTRA_TABLE_PORT, g * N + p, 3);
        ShowGroup();
        break;
    case 3:
        control(C::cmbBit).setListIndex(
            zintra().GetConf(ZINTRA_TABLE_HEADER, block::kV3DipCount, 3) - 1);
        for (int i = 0; i < 3; ++i)
            control(C::txtCfgUnit, i)
                .setText(
                    Hex(zintra().GetConf(ZINTRA_TABLE_HEADER, block::kV3FirstCfgUnit + i, 3), 6));
        control(C::txtFWStart)
            .setText(Hex(zintra().GetConf(ZINTRA_TABLE_HEADER, block::kV3FirmwareStart, 3), 6));
        for (int k = 0; k < kFWEntries; ++k) {
            FWInfo& fw = st_.tFW[static_cast<std::size_t>(k + 1)];
            auto part = [&](int32_t w) {
                return Hex(zintra().GetConf(ZINTRA_TABLE_HEADER, block::V3FirmwareField(k, w), 3),
                           6);
            };
            fw.strVer = part(0);
            fw.strDate = part(1);
            fw.strTime = part(2);
        }
        // The boxes show their entry as just read, so the next store does
        // not put the old texts back over it.
        showFirmwareEntry(st_.iFWIndex);
        for (int32_t g = 0; g < st_.lGroupCount; ++g)
            for (int32_t p = 0; p < N; ++p)
                if (auto at = confIndex(g, p))
                    st_.lConf[*at] =
                        zintra().GetConf(ZINTRA_TABLE_PORT, g * st_.lGroupStride + p, 3);
        ShowGroup();
        break;
    case 4: {
        for (int k = 1; k <= kALFields; ++k) {
            Control& box = control(C::txtAL, k);
            const int32_t a = st_.lALPos[static_cast<std::size_t>(k)];
            const int32_t w = st_.lALPos[static_cast<std::size_t>(k + 1)] - a;
            if (box.tag() == kTextTag) {
                std::string t;
                for (int32_t j = 0; j < kTextFieldBytes; ++j)
                    t += static_cast<char>(zintra().GetConf(ZINTRA_TABLE_HEADER, a + j, 1));
                box.setText(FromCodePage(t.substr(0, t.find('\0'))));
            } else if (box.tag() == kHexTag) {
                box.setText(Hex(zintra().GetConf(ZINTRA_TABLE_HEADER, a, w), 1));
            } else {
                box.setText(std::to_string(zintra().GetConf(ZINTRA_TABLE_HEADER, a, w)));
            }
        }
        for (int j = 0; j < kActiveLines; ++j)
            control(C::txtALActive, j)
                .setText(std::to_string(zintra().GetConf(ZINTRA_TABLE_GROUP, block::RecordValue(j),
                                                         block::kValueBytes)));
        for (int32_t g = 0; g < st_.lGroupCount; ++g) {
            for (int32_t p = 0; p < N; ++p) {
                auto at = confIndex(g, p);
                if (!at) continue;
                const int32_t n = static_cast<int32_t>(*at);
                for (int i = 0; i < block::kHeadBytes; ++i)
                    st_.lFieldHead[static_cast<std::size_t>(block::kHeadBytes * p + i)] =
                        zintra().GetConf(ZINTRA_TABLE_PORT, block::Record(n) + i, 1);
                st_.lConf[*at] =
                    zintra().GetConf(ZINTRA_TABLE_PORT, block::RecordValue(n), block::kValueBytes);
            }
            if (g < kMemos)
                st_.strMemo[static_cast<std::size_t>(g)] =
                    readBytes(ZINTRA_TABLE_7, block::kMemoBytes * g, block::kMemoBytes);
        }
        ShowGroup();
        const int32_t s = WholeNumber(control(C::cmbGroup).text());
        if (s >= 1 && s <= kMemos)
            control(C::txtMemo).setText(st_.strMemo[static_cast<std::size_t>(s - 1)]);
        for (const ListRecord& list : kListRecordTable)
            control(list.box).setText(listText(list));
        ShowGroup();
        break;
    }
    default:
        break;
    }
    cmbGroup_Click({});
    std::string buffer(kSerialBuffer, ' ');
    zintra().GetSerial(buffer);
    control(C::txtSerial).setText(FromCodePage(buffer.substr(0, buffer.find('\0'))));
    return true;
}

void FlashForm::btnLoadFlash_Click(const EventArgs&) {
    if (!boardReadyFor(text::kOperationLoad)) return;
    openRecordForRead();
    showOutcome(text::kOperationLoad, ops::LoadFromFlash(session_, *this));
}

void FlashForm::cmdParse_Click(const EventArgs&) {
    // No file named is no file to read: the library's refusal would come
    // after the window had been reset, and the close would save that.
    const std::string path = Trim(control(C::txtPath2).text());
    if (path.empty()) {
        message(std::string(text::kNoFileToParse));
        return;
    }
    showOutcome(text::kOperationParse, ops::Parse(session_, *this, control(C::txtPath2).text()));
}

} // namespace plexmoor
