// A stand-in for the programmer library that records every call, one line
// each, so a test can compare the calls the window makes with the ones it
// must make, in order. Put beside the window under the library's name, it is
// loaded and bound exactly as the library is.
#include "zintra.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string>& calls() {
    static std::vector<std::string> log;
    return log;
}

std::string text(const char* s) {
    return s ? s : "(null)";
}

void record(std::string line) {
    calls().push_back(std::move(line));
}

std::string numbers(std::initializer_list<int32_t> values) {
    std::string out;
    for (int32_t v : values)
        out += " " + std::to_string(v);
    return out;
}

} // namespace

extern "C" {

ZINTRA_API int32_t RecorderCallCount() {
    return static_cast<int32_t>(calls().size());
}
ZINTRA_API const char* RecorderCall(int32_t i) {
    return i >= 0 && i < RecorderCallCount() ? calls()[static_cast<std::size_t>(i)].c_str() : "";
}
ZINTRA_API void RecorderClear() {
    calls().clear();
}

ZINTRA_API int32_t ZINTRA_CALL ZintraAction(int32_t action, int32_t b, int32_t c, int32_t d) {
    record("ZintraAction" + numbers({action, b, c, d}));
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL ZintraActionStr(int32_t kind, int32_t slot, const char* t) {
    record("ZintraActionStr" + numbers({kind, slot}) + " " + text(t));
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL SetupWriteParameter(int32_t start, const char* path) {
    record("SetupWriteParameter" + numbers({start}) + " " + text(path));
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL GetFlashProgress(void) {
    return 0;
}
ZINTRA_API int32_t ZINTRA_CALL PackFlash(const char* boot, const char* ot, int32_t ot_offset,
                                         const char* rt, int32_t rt_offset, const char* out,
                                         int32_t repack) {
    record("PackFlash " + text(boot) + " " + text(ot) + numbers({ot_offset}) + " " + text(rt) +
           numbers({rt_offset}) + " " + text(out) + numbers({repack}));
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL PackSerial(const char* t, int32_t length) {
    record("PackSerial " + text(t) + numbers({length}));
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL FlashSerial(void) {
    record("FlashSerial");
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL GetSerial(char*) {
    record("GetSerial");
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL GetConf(int32_t table, int32_t index, int32_t width) {
    record("GetConf" + numbers({table, index, width}));
    return 0;
}
ZINTRA_API int32_t ZINTRA_CALL LoadConfFromFlashToBuffer(void) {
    record("LoadConfFromFlashToBuffer");
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL LoadConfFromFileToBuffer(const char* path, int32_t mode) {
    record("LoadConfFromFileToBuffer " + text(path) + numbers({mode}));
    return 1;
}

ZINTRA_API int32_t ZINTRA_CALL ZintraChipId(uint8_t* id) {
    record("ZintraChipId");
    if (id) id[0] = id[1] = id[2] = 0;
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL ZintraBackupFlash(const char* path, int32_t address,
                                                 int32_t length) {
    record("ZintraBackupFlash " + text(path) + numbers({address, length}));
    return 1;
}
ZINTRA_API int32_t ZINTRA_CALL ZintraStop(void) {
    record("ZintraStop");
    return 0;
}

} // extern "C"
