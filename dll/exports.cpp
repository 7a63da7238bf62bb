// The exports and the action dispatch. Every export but GetFlashProgress
// and ZintraStop is refused while program flash or a backup runs: the
// host's handlers run inside its message pump and must not change the
// device, file, tables or image beneath it.
#include "zintra.h"

#include "bridge_choice.h"
#include "config_block.h"
#include "exact_program.h"
#include "fast_program.h"
#include "flash_backup.h"
#include "flash_chip.h"
#include "flash_parts.h"
#include "host.h"
#include "library_state.h"
#include "packed_image.h"
#include "recovery_file.h"
#include "serial_record.h"
#include "spi_engine.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <string>

namespace zintra {
namespace {

// The codes of tables 3-7 run in the order of the tables.
static_assert(ZINTRA_SET_TABLE7_FIELD - ZINTRA_SET_TABLE3_FIELD == ZINTRA_TABLE_7 - ZINTRA_TABLE_3);

bool busy() {
    return state().programming;
}

// A stop asked for during a run ends with it: the next run starts unstopped.
class ProgrammingRun {
  public:
    ProgrammingRun() {
        state().programming = true;
        state().stop_requested = false;
    }
    ~ProgrammingRun() {
        state().programming = false;
        state().stop_requested = false;
    }
    ProgrammingRun(const ProgrammingRun&) = delete;
    ProgrammingRun& operator=(const ProgrammingRun&) = delete;
};

int open_programmer() {
    LibraryState& s = state();
    if (s.opened) return 1;
    s.opened = spi::open_sequence() != 0;
    // Another board (or bridge) may answer now: no size or maker is taken
    // from the chip of an earlier open.
    s.jedec_id = {};
    config::clear_on_open();
    for (Path& slot : s.slots)
        slot.fill('\0');
    config::header_reset();
    return s.opened ? 1 : 0;
}

int close_programmer() {
    spi::close_device();
    state().opened = false;
    return 1;
}

// Copies `text` into `path` whole, or empties `path` and says why: a path
// that was cut, or an earlier one left in place, would be used by the next
// pack or programming run without anyone noticing.
bool store_path(Path& path, const char* text) {
    std::size_t length = strnlen(text, path.size());
    if (length == path.size()) {
        path.fill('\0');
        host::showf(text::kPathTooLong, static_cast<unsigned>(path.size() - 1), text);
        return false;
    }
    std::memcpy(path.data(), text, length + 1);
    return true;
}

} // namespace
} // namespace zintra

using namespace zintra;

extern "C" {

ZINTRA_API int32_t ZINTRA_CALL ZintraAction(int32_t action, int32_t b, int32_t c, int32_t d) {
    if (busy()) return 0;
    switch (action) {
    case ZINTRA_PROBE_ID_LOOP:
        return flash::probe_id_loop();
    case ZINTRA_OPEN_PROGRAMMER:
        return open_programmer();
    case ZINTRA_CLOSE_PROGRAMMER:
        return close_programmer();
    case ZINTRA_PROGRAM_FLASH: {
        ProgrammingRun run;
        flash::ExactProgram exact;
        return flash::program_flash(b, exact);
    }
    case ZINTRA_SET_PORT_FIELD:
        return config::set_port_field(b, c, d);
    case ZINTRA_READ_FLASH_ID:
        return flash::read_flash_id();
    case ZINTRA_SET_HEADER_FIELD:
        return config::set_header_field(b, c, d);
    case ZINTRA_SET_GROUP_FIELD:
    case ZINTRA_SET_GROUP_FIELD_2:
        return config::set_group_field(b, c, d);
    case ZINTRA_SELECT_GROUP:
        state().group_index = b;
        return 1;
    case ZINTRA_SET_SYSTEM_VERSION:
        return config::set_system_version(b);
    case ZINTRA_SET_TABLE3_FIELD:
    case ZINTRA_SET_TABLE4_FIELD:
    case ZINTRA_SET_TABLE5_FIELD:
    case ZINTRA_SET_TABLE6_FIELD:
    case ZINTRA_SET_TABLE7_FIELD: {
        int table = ZINTRA_TABLE_3 + (action - ZINTRA_SET_TABLE3_FIELD);
        return config::set_extra_field(table, b, c, d);
    }
    default:
        return 1;
    }
}

ZINTRA_API int32_t ZINTRA_CALL ZintraActionStr(int32_t kind, int32_t slot, const char* text) {
    if (busy()) return 0;
    if (kind != ZINTRA_STORE_PATH || !text || slot < 0 || slot >= kSlotCount) return 1;
    return store_path(state().slots[static_cast<std::size_t>(slot)], text) ? 1 : 0;
}

ZINTRA_API int32_t ZINTRA_CALL SetupWriteParameter(int32_t start_address, const char* path) {
    if (busy()) return 0;
    LibraryState& s = state();
    s.start_address = start_address;
    if (!path) {
        s.write_path.fill('\0');
        return 1;
    }
    return store_path(s.write_path, path) ? 1 : 0;
}

ZINTRA_API int32_t ZINTRA_CALL GetFlashProgress(void) {
    return state().progress;
}

ZINTRA_API int32_t ZINTRA_CALL PackFlash(const char* boot_path, const char* ot_path,
                                         int32_t ot_offset, const char* rt_path, int32_t rt_offset,
                                         const char* output_path, int32_t repack) {
    if (busy()) return 0;
    return image::pack_flash(boot_path, ot_path, ot_offset, rt_path, rt_offset, output_path,
                             repack);
}

ZINTRA_API int32_t ZINTRA_CALL PackSerial(const char* text, int32_t length) {
    if (busy()) return 0;
    return serial::pack_serial(text, length);
}

ZINTRA_API int32_t ZINTRA_CALL FlashSerial(void) {
    if (busy()) return 0;
    return serial::flash_serial();
}

ZINTRA_API int32_t ZINTRA_CALL GetSerial(char* output) {
    if (busy() || !output) return 0;
    return serial::get_serial(output);
}

ZINTRA_API int32_t ZINTRA_CALL GetConf(int32_t table, int32_t index, int32_t width) {
    if (busy()) return 0;
    return config::get_conf(table, index, width);
}

ZINTRA_API int32_t ZINTRA_CALL LoadConfFromFlashToBuffer(void) {
    if (busy()) return 0;
    return config::load_from_flash();
}

ZINTRA_API int32_t ZINTRA_CALL LoadConfFromFileToBuffer(const char* path, int32_t mode) {
    if (busy()) return 0;
    return config::load_from_file(path, mode);
}

ZINTRA_API int32_t ZINTRA_CALL ZintraChipId(uint8_t* id) {
    if (busy() || !id || !state().opened) return 0;
    return flash::chip_id(id);
}

ZINTRA_API int32_t ZINTRA_CALL ZintraBackupFlash(const char* path, int32_t address,
                                                 int32_t length) {
    if (busy()) return 0;
    ProgrammingRun run;
    return backup::backup_flash(path, address, length);
}

ZINTRA_API int32_t ZINTRA_CALL ZintraStop(void) {
    if (!busy()) return 0;
    state().stop_requested = true;
    return 1;
}

ZINTRA_API int32_t ZINTRA_CALL ZintraProgramFast(int32_t first_byte_check, int32_t clock_mhz) {
    if (busy()) return 0;
    if (!flash::valid_fast_clock(clock_mhz)) {
        host::showf(text::kFastClockRefused, clock_mhz);
        return 0;
    }
    ProgrammingRun run;
    flash::FastProgram fast(static_cast<uint32_t>(clock_mhz));
    return flash::program_flash(first_byte_check, fast);
}

ZINTRA_API int32_t ZINTRA_CALL ZintraChipFamily(const uint8_t* id, char* family, int32_t size) {
    const char* name = "";
    uint64_t bytes = 0;
    if (id) {
        const std::array<uint8_t, 3> read = {id[0], id[1], id[2]};
        name = parts::lookup(read).family;
        bytes = parts::capacity_bytes(read);
    }
    if (family && size > 0) {
        // A cut name would name another family, so one that does not fit is left out.
        std::size_t n = std::strlen(name);
        if (n >= static_cast<std::size_t>(size)) n = 0;
        std::memcpy(family, name, n);
        family[n] = '\0';
    }
    return static_cast<int32_t>(std::min<uint64_t>(bytes / 1024, INT32_MAX));
}

ZINTRA_API int32_t ZINTRA_CALL ZintraRecoveryCopy(char* path, int32_t size) {
    if (busy() || !path || size <= 0) return 0;
    const std::vector<std::string> copies = recovery::waiting();
    if (copies.empty() || copies.front().size() >= static_cast<std::size_t>(size)) return 0;
    std::memcpy(path, copies.front().c_str(), copies.front().size() + 1);
    return 1;
}

ZINTRA_API int32_t ZINTRA_CALL ZintraRecoveryCopyAt(int32_t index, char* path, int32_t size) {
    if (busy()) return 0;
    const std::vector<std::string> copies = recovery::waiting();
    if (path && size > 0 && index >= 0 && static_cast<std::size_t>(index) < copies.size()) {
        const std::string& copy = copies[static_cast<std::size_t>(index)];
        const std::size_t n = copy.size() < static_cast<std::size_t>(size) ? copy.size() : 0;
        std::memcpy(path, copy.data(), n);
        path[n] = '\0';
    }
    return static_cast<int32_t>(std::min<std::size_t>(copies.size(), INT32_MAX));
}

ZINTRA_API int32_t ZINTRA_CALL ZintraVersion(void) {
    return ZINTRA_API_VERSION;
}

ZINTRA_API int32_t ZINTRA_CALL ZintraReadFlash(int32_t address, uint8_t* buffer, int32_t length) {
    if (busy() || !state().opened || !buffer || address < 0 || length < 0 ||
        static_cast<uint64_t>(address) + static_cast<uint64_t>(length) > parts::kAddressSpace)
        return 0;
    return flash::read_flash(static_cast<uint32_t>(address),
                             {buffer, static_cast<std::size_t>(length)});
}

ZINTRA_API int32_t ZINTRA_CALL ZintraBoardSerial(char* serial, int32_t size) {
    if (busy()) return 0;
    return serial::board_serial(serial, size);
}

ZINTRA_API int32_t ZINTRA_CALL ZintraWriteProtection(int32_t* status) {
    if (busy() || !state().opened) return -1;
    return flash::write_protection(status);
}

ZINTRA_API int32_t ZINTRA_CALL ZintraSelectBridge(const char* serial) {
    if (busy()) return 0;
    return bridges::choose(serial) ? 1 : 0;
}

ZINTRA_API int32_t ZINTRA_CALL ZintraListBridges(int32_t index, char* serial, char* description,
                                                 int32_t size) {
    if (busy()) return 0;
    bridges::Listed bridge;
    const uint32_t count =
        bridges::list(index < 0 ? UINT32_MAX : static_cast<uint32_t>(index), bridge);
    // A cut serial number would name another bridge, so one that does not fit is left out.
    const auto put = [size](char* out, const std::string& text) {
        if (!out || size <= 0) return;
        const std::size_t n = text.size() < static_cast<std::size_t>(size) ? text.size() : 0;
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
    };
    if (index >= 0 && static_cast<uint32_t>(index) < count) {
        put(serial, bridge.serial);
        put(description, bridge.description);
    }
    return static_cast<int32_t>(std::min<uint32_t>(count, INT32_MAX));
}

} // extern "C"
