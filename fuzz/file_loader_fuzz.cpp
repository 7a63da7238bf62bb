// LoadConfFromFileToBuffer on files of any length and content, then GetConf
// and GetSerial at any table, index and width. A refused file changes
// nothing; a loaded one fills the tables from its own bytes only, never
// from beyond its end or from an earlier file.
#include "config_block.h"
#include "harness.h"
#include "zintra.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using zintra::state;

// A file of `length` bytes of `fill`, with the input's bytes at `at`:
// small inputs reach the configuration block of large files.
Bytes make_file(FuzzedDataProvider& in, bool mode1) {
    auto length = in.ConsumeIntegralInRange<uint32_t>(0, zintra::kImageSize + 0x100);
    uint8_t fill = in.ConsumeIntegral<uint8_t>();
    uint32_t at = mode1 ? 0x10000 + in.ConsumeIntegralInRange<uint32_t>(0, 0xC00)
                        : in.ConsumeIntegralInRange<uint32_t>(0, 0x3700);
    Bytes file(length, fill);
    Bytes rest = in.ConsumeRemainingBytes<uint8_t>();
    for (std::size_t i = 0; i < rest.size() && at + i < file.size(); ++i)
        file[at + i] = rest[i];
    return file;
}

// The bytes of `file` a table byte should hold, or 0 past the file's end.
uint8_t byte_at(const Bytes& file, std::size_t offset) {
    return offset < file.size() ? file[offset] : 0;
}

void check_table(int table, uint32_t offset, uint32_t length, const Bytes& file) {
    std::span<uint8_t> t = state().tables.table(table);
    for (uint32_t i = 0; i < length; ++i) {
        FUZZ_CHECK(t[i] == byte_at(file, offset + i));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    harness::quiet();
    harness::fresh_library();
    FuzzedDataProvider in(data, size);
    const bool mode1 = in.ConsumeBool();
    const int32_t mode = mode1 ? 1 : in.ConsumeIntegral<int8_t>();
    // Tables and version left by earlier work, which a refusal must keep.
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, in.ConsumeIntegralInRange<int32_t>(2, 4), 0, 0);
    state().tables.port.fill(0xA7);
    const int32_t probes = in.ConsumeIntegralInRange<int32_t>(0, 8);
    std::vector<std::array<int32_t, 3>> conf(static_cast<std::size_t>(probes));
    for (auto& c : conf)
        c = {in.ConsumeIntegralInRange<int32_t>(-2, 12), in.ConsumeIntegral<int32_t>(),
             in.ConsumeIntegralInRange<int32_t>(-2, 9)};
    const Bytes file = mode == 1 ? make_file(in, true) : make_file(in, false);

    const std::string path = (harness::folder() / "load.bin").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
    }
    const zintra::Tables tables = state().tables;
    const int32_t version = state().system_version;
    const int32_t image_length = state().image_length;

    if (LoadConfFromFileToBuffer(path.c_str(), mode) == 0) {
        FUZZ_CHECK(std::memcmp(&tables, &state().tables, sizeof tables) == 0);
        FUZZ_CHECK(state().system_version == version);
        FUZZ_CHECK(state().image_length == image_length);
    } else {
        FUZZ_CHECK(static_cast<std::size_t>(state().image_length) == file.size());
        FUZZ_CHECK(std::equal(file.begin(), file.end(), state().image.begin()));
        if (mode == 1)
            FUZZ_CHECK(state().system_version == static_cast<int8_t>(file[0x10005]));
        else
            FUZZ_CHECK(state().system_version == 4);
        // A header that names version 4 takes the version-4 layout, table 0
        // included, even in mode 1.
        if (state().system_version == 4) {
            for (const auto& p : zintra::config::kV4Layout)
                check_table(p.table, p.offset, p.length, file);
        } else {
            check_table(0, 0x10000, 256, file);
            if (state().system_version == 2) {
                check_table(1, 0x10100, 256, file);
                check_table(2, 0x10200, 512, file);
            } else if (state().system_version == 3) {
                check_table(2, 0x10200, 2048, file);
            }
        }
    }
    for (const auto& c : conf)
        GetConf(c[0], c[1], c[2]);
    char serial[48];
    std::memset(serial, 0x5A, sizeof serial);
    GetSerial(serial);
    FUZZ_CHECK(std::all_of(serial + 44, serial + 48, [](char ch) { return ch == 0x5A; }));
    return 0;
}
