// Calls into the programmer library, loaded by name on the first call and
// bound export by export on first use. A library or export that cannot be
// found is reported through the services and the call returns 0.
#pragma once

#include "services.h"
#include "zintra.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plexmoor {

// One attached bridge as the library lists it.
struct Bridge {
    std::string serial;
    std::string description;
};

struct ZintraLibrary;

class ZintraLink {
  public:
    explicit ZintraLink(Services& services) : services_(services) {}

    int32_t ZintraAction(int32_t action, int32_t b, int32_t c, int32_t d);
    int32_t ZintraActionStr(int32_t kind, int32_t slot, const std::string& text);
    int32_t SetupWriteParameter(int32_t start_address, const std::string& path);
    int32_t GetFlashProgress();
    int32_t PackFlash(const std::string& boot, const std::string& ot, int32_t ot_offset,
                      const std::string& rt, int32_t rt_offset, const std::string& output,
                      int32_t repack);
    int32_t PackSerial(const std::string& text, int32_t length);
    int32_t FlashSerial();
    // The serial field overwrites the start of buffer, which must hold at
    // least 48 characters; a shorter one is refused.
    int32_t GetSerial(std::string& buffer);
    int32_t GetConf(int32_t table, int32_t index, int32_t width);
    int32_t LoadConfFromFlashToBuffer();
    int32_t LoadConfFromFileToBuffer(const std::string& path, int32_t mode);

    // The additions beside the eleven. A library without one gives 0 and
    // no message; available() tells beforehand.
    int32_t ZintraChipId(uint8_t* id);
    int32_t ZintraBackupFlash(const std::string& path, int32_t address, int32_t length);
    int32_t ZintraStop();
    // A programming run like action 4, in the fast mode.
    int32_t ZintraProgramFast(int32_t first_byte_check, int32_t clock_mhz);
    // The family the library's table of parts gives the ID (empty when
    // unknown) and the capacity in KiB, 0 when none is known.
    int32_t ZintraChipFamily(const uint8_t* id, std::string& family);
    // The bridge every later open uses, by its serial number ("" for the
    // first bridge listed); 0 refused or where the library cannot choose.
    int32_t ZintraSelectBridge(const std::string& serial);
    // The bridges attached, in the library's order; none where it cannot list them.
    std::vector<Bridge> ZintraListBridges();
    // A plain read of the flash (the tables untouched); 0 failed (told).
    int32_t ZintraReadFlash(int32_t address, uint8_t* buffer, int32_t length);
    // The serial the board's configuration block holds (empty: erased),
    // nothing where it cannot be read.
    std::optional<std::string> ZintraBoardSerial();
    // The status register when a protection bit is set, -1 when none is,
    // nothing where it cannot be read.
    std::optional<int32_t> ZintraWriteProtection();
    // The recovery copies waiting, oldest first; the oldest alone.
    std::vector<std::string> ZintraRecoveryCopies();
    std::optional<std::string> ZintraRecoveryCopy();
    // The interface version of the library loaded (ZINTRA_API_VERSION), 1
    // for a build before the version call, 0 when none loads.
    int32_t version();
    bool available(const char* name);

    // True while program flash (action 4) or a backup runs; the window's
    // handlers then run only from the library's message pump.
    bool programming() const { return programming_; }

    // The export's address, or nullptr after telling the user why not (or
    // quietly, for an addition).
    void* bind(const char* name, bool quiet = false);

  private:
    struct ZintraLibrary& library();
    // Program flash pumps the window's events; a handler that reached the
    // library from there would work on the device and buffers mid-run.
    bool refusedWhileProgramming(const char* name);
    template <auto Export, typename... Args>
    int32_t call(const char* name, bool starts_run, Args... args);
    template <auto Export, typename... Args>
    int32_t callAddition(const char* name, bool starts_run, Args... args);
    // A call that starts a run marks it for as long as it lasts.
    template <typename Fn, typename... Args> int32_t run(bool starts_run, Fn fn, Args... args);

    Services& services_;
    bool programming_ = false;
};

} // namespace plexmoor
