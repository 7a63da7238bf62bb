#include "board.h"

#include "numbers.h"
#include "operation_texts.h"

#include <algorithm>

#include <cstdio>

namespace plexmoor::ops {

std::string Chip::idText(const char* between) const {
    if (!answered()) return {};
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02X%s%02X%s%02X", id[0], between, id[1], between, id[2]);
    return buffer;
}

std::string Chip::shown() const {
    std::string out = idText();
    if (out.empty()) return out;
    if (!family.empty()) out += ", " + family;
    if (size != 0) out += ", " + FormatSize(size);
    return out;
}

bool NoChipAnswered(const std::array<uint8_t, 3>& id) {
    return id == std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF} ||
           id == std::array<uint8_t, 3>{0x00, 0x00, 0x00};
}

std::optional<std::string> BridgesForWorkers(ZintraLink& zintra,
                                             std::vector<std::string>& serials) {
    serials.clear();
    for (const Bridge& bridge : zintra.ZintraListBridges()) {
        if (bridge.serial.empty()) return std::string(text::kBridgeWithoutSerial);
        if (std::find(serials.begin(), serials.end(), bridge.serial) != serials.end())
            return std::string(text::kBridgeSerialTwice) + bridge.serial;
        serials.push_back(bridge.serial);
    }
    if (serials.empty()) return std::string(text::kNoBridgesAttached);
    return std::nullopt;
}

const std::vector<Bridge>& Board::listBridges() {
    bridges_.clear();
    chosen_.reset();
    if (zintra_.available("ZintraListBridges")) bridges_ = zintra_.ZintraListBridges();
    if (!bridges_.empty()) chosen_ = 0;
    return bridges_;
}

bool Board::choose(const std::string& serial) {
    for (std::size_t i = 0; i < bridges_.size(); ++i)
        if (bridges_[i].serial == serial) return chooseIndex(i);
    return false;
}

bool Board::chooseIndex(std::size_t index) {
    if (index >= bridges_.size()) return false;
    chosen_ = index;
    return true;
}

std::string Board::chosen() const {
    return chosen_ ? bridges_[*chosen_].serial : std::string();
}

std::optional<std::size_t> Board::chosenIndex() const {
    return chosen_;
}

bool Board::open() {
    if (!bridges_.empty()) zintra_.ZintraSelectBridge(chosen());
    open_ = zintra_.ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0) != 0;
    zintra_.ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    open_ = zintra_.ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0) != 0;
    chip_ = Chip{};
    if (open_) readChip();
    return open_;
}

void Board::close() {
    zintra_.ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    open_ = false;
    chip_ = Chip{};
}

const Chip& Board::readChip() {
    chip_ = Chip{};
    if (!zintra_.available("ZintraChipId")) return chip_;
    std::array<uint8_t, 3> id{};
    if (zintra_.ZintraChipId(id.data()) == 0) {
        chip_.state = Chip::State::Unread;
        return chip_;
    }
    chip_.id = id;
    if (NoChipAnswered(id)) {
        chip_.state = Chip::State::None;
        return chip_;
    }
    chip_.state = Chip::State::Answered;
    // What the part is and how large comes from the library's table of
    // parts, never decoded here a second time.
    chip_.size = uint64_t{static_cast<uint32_t>(zintra_.ZintraChipFamily(id.data(), chip_.family))}
                 << 10;
    return chip_;
}

} // namespace plexmoor::ops
