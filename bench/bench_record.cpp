// What the production record adds to one board, and how its history scales.
//   bench_record [URL...]   (default: a SQLite file in a temporary folder)
// A PostgreSQL URL names an empty database: the record's tables in it are
// dropped first. Prints, per store, the time a program and a serial spend in
// the record (hashing the 160 KiB demo-sized image included), then fills
// the record to one million rows and times the history's look-ups.
#include "database.h"
#include "record.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace plexmoor::record;

Closing Done(const char* message) {
    Closing c;
    c.message = message;
    return c;
}
constexpr int kBoards = 200;
constexpr int kLookups = 100;
constexpr int kRows = 1000000;
constexpr int kFillChunk = 100000;

using Clock = std::chrono::steady_clock;

// Median and worst of n runs, in milliseconds.
void Measure(const char* label, int n, const std::function<void(int)>& run) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        const auto start = Clock::now();
        run(i);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("  %-44s median %7.3f ms, 95th %7.3f ms\n", label, ms[ms.size() / 2],
                ms[ms.size() * 95 / 100]);
}

Entry Board(const std::string& image, Operation op) {
    Entry e;
    e.station = "bench";
    e.bridge = "VB0001";
    e.chip_id = "C2 20 15";
    e.chip_size = 2097152;
    e.operation = op;
    e.image = image;
    e.mode = "exact";
    e.address = 0;
    return e;
}

void Fill(Database& db, int rows) {
    // Rows of a year of a busy line: 16 stations, a serial each.
    for (int from = 0; from < rows; from += kFillChunk) {
        Transaction t(db);
        db.query("WITH RECURSIVE n(i) AS (SELECT " + std::to_string(from + 1) +
                 " UNION ALL SELECT i + 1 FROM n WHERE i < " +
                 std::to_string(std::min(rows, from + kFillChunk)) +
                 ") INSERT INTO operations (started, ended, station, operation, image_sha256, "
                 "serial, result, message) SELECT '2025-06-01T00:00:00.000Z', "
                 "'2025-06-01T00:00:01.000Z', 'line-' || (i % 16), 'program', "
                 "'ab12', 'QX' || i, 'done', 'Flash Complete' FROM n");
        t.commit();
    }
}

void Bench(const std::string& url, const std::string& image) {
    std::printf("%s\n", url.c_str());
    {
        auto db = OpenDatabase(url, true);
        db->query("DROP TABLE IF EXISTS operations");
        db->query("DROP TABLE IF EXISTS record_schema");
    }
    auto record = Record::Open(url);
    const std::string size = std::to_string(fs::file_size(image));
    Measure("program: hash the image, begin, finish", kBoards, [&](int) {
        Entry e = Board(image, Operation::Flash);
        e.image_sha256 = FileSha256(image);
        e.image_size = std::stoll(size);
        record->finish(record->begin(e), Done("programmed"));
    });
    Measure("  of it the image's SHA-256", kBoards, [&](int) { FileSha256(image); });
    Measure("serial: reserve, finish", kBoards, [&](int) {
        const Reservation r =
            record->reserveSerial("261207", 0, Board(image, Operation::FlashSetting));
        record->finish(r.id, Done("block written"));
    });

    const auto start = Clock::now();
    Fill(record->database(), kRows);
    std::printf("  filled to %d rows more in %.1f s\n", kRows,
                std::chrono::duration<double>(Clock::now() - start).count());
    Measure("history --serial (1M rows)", kLookups, [&](int i) {
        Filter f;
        f.serial = "QX" + std::to_string(1 + i * 9973 % kRows);
        if (record->history(f).size() != 1) std::printf("  lookup failed\n");
    });
    Measure("history --station, latest 50 (1M rows)", kLookups, [&](int i) {
        Filter f;
        f.station = "line-" + std::to_string(i % 16);
        f.limit = 50;
        record->history(f);
    });
    Measure("history --since today (1M rows)", kLookups, [&](int) {
        Filter f;
        f.since = Timestamp().substr(0, 10);
        record->history(f);
    });
    Measure("serial: reserve, finish (1M rows)", kBoards, [&](int) {
        const Reservation r =
            record->reserveSerial("261208", 0, Board(image, Operation::FlashSetting));
        record->finish(r.id, Done("block written"));
    });
}

} // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("bench-record-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string image = (dir / "demo.b").string();
    std::vector<char> bytes(160 * 1024);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 131 + 7);
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));

    std::vector<std::string> urls(argv + 1, argv + argc);
    if (urls.empty()) urls.push_back("sqlite:" + (dir / "record.db").string());
    int status = 0;
    for (const std::string& url : urls) {
        try {
            Bench(url, image);
        } catch (const Error& e) {
            std::printf("  %s\n", e.what());
            status = 1;
        }
    }
    fs::remove_all(dir);
    return status;
}
