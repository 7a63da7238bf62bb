#include "library_cells.h"

#include "byte_files.h"
#include "zintra.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace fault_matrix {
namespace {

constexpr uint32_t kBlock = 0x10000;

void reopen(int32_t version) {
    ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0);
    if (version) ZintraAction(ZINTRA_SET_SYSTEM_VERSION, version, 0, 0);
}

class ProgramFlash : public Programming {
  public:
    explicit ProgramFlash(bool fast = false) : fast_(fast) {}
    const char* name() const override { return fast_ ? "program flash, fast" : "program flash"; }
    void open(const std::filesystem::path& dir) override {
        reopen(0);
        std::string path = (dir / "image.bin").string();
        testing_support::write_file(path, program_file());
        SetupWriteParameter(kProgramStart, path.c_str());
    }
    int32_t run() override {
        return fast_ ? ZintraProgramFast(0, 0) : ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0);
    }
    void close() override { ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0); }

  private:
    bool fast_;
};

// Judged on the tables it fills as well: they must hold the board's block
// after a load that says it succeeded and be as they were after one that
// says it failed.
class LoadFromFlash : public Operation {
  public:
    const char* name() const override { return "load from flash"; }
    Range reach() const override { return {kBlock, kBlock + 0x400}; }
    void open(const std::filesystem::path&) override { reopen(2); }
    int32_t run() override { return LoadConfFromFlashToBuffer(); }
    void close() override { ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0); }
    Bytes beside_flash(const std::filesystem::path&) override {
        Bytes tables;
        // Version 2 reads fields 0-84 of tables 0 and 1 and 0-127 of table 2.
        for (auto [table, fields] :
             {std::pair{ZINTRA_TABLE_HEADER, 85}, std::pair{ZINTRA_TABLE_GROUP, 85},
              std::pair{ZINTRA_TABLE_PORT, 128}})
            for (int k = 0; k < fields; ++k)
                for (int shift : {16, 8, 0})
                    tables.push_back(static_cast<uint8_t>(GetConf(table, k, 3) >> shift));
        return tables;
    }
};

// Judged on the copies it leaves on disk as well: none after a run that
// says it succeeded.
class FlashSerialRun : public SerialBlockWrite {
  public:
    const char* name() const override { return "FlashSerial"; }
    void open(const std::filesystem::path&) override {
        reopen(2);
        for (int k = 0; k < 85; ++k)
            ZintraAction(ZINTRA_SET_GROUP_FIELD, k, 0x010203 * k, 0);
        for (int k = 0; k < 128; ++k)
            ZintraAction(ZINTRA_SET_PORT_FIELD, k, 0x0A0B0C + k, 0);
        PackSerial("QV261207001", 11);
    }
    int32_t run() override { return FlashSerial(); }
    void close() override { ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0); }
    // A front end on the library alone: the copy it names, written back
    // where its name says in the exact mode, then removed.
    std::vector<std::string> start_after_crash(const std::filesystem::path&) override {
        std::string copy(4096, '\0');
        if (ZintraRecoveryCopy(copy.data(), static_cast<int32_t>(copy.size())) != 1) return {};
        copy.resize(copy.find('\0'));
        reopen(0);
        SetupWriteParameter(kBlock, copy.c_str());
        if (ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0) == 1) std::remove(copy.c_str());
        close();
        return {copy};
    }
};

// Judged on the file it writes as well.
class FlashBackup : public Operation {
  public:
    const char* name() const override { return "backup"; }
    Range reach() const override { return {0, kFlashSize}; }
    void open(const std::filesystem::path& dir) override {
        reopen(0);
        path_ = (dir / kBackupName).string();
    }
    int32_t run() override { return ZintraBackupFlash(path_.c_str(), 0, kFlashSize); }
    void close() override { ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0); }
    Bytes beside_flash(const std::filesystem::path& dir) override {
        return testing_support::read_file(dir / kBackupName);
    }

  private:
    std::string path_;
};

} // namespace

std::unique_ptr<Operation> backup_operation() {
    return std::make_unique<FlashBackup>();
}

std::vector<std::unique_ptr<Operation>> library_operations() {
    std::vector<std::unique_ptr<Operation>> ops;
    ops.push_back(std::make_unique<ProgramFlash>());
    ops.push_back(std::make_unique<LoadFromFlash>());
    ops.push_back(std::make_unique<FlashSerialRun>());
    ops.push_back(std::make_unique<ProgramFlash>(true));
    return ops;
}

} // namespace fault_matrix
