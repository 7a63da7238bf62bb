// Prints the fault matrix as the README shows it: every fault of the
// virtual board against each operation that touches the flash, the
// library's and the window's, with how each cell ended.
#include "fault_matrix.h"
#include "library_cells.h"
#include "window_cells.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

int main() {
    namespace fs = std::filesystem;
    std::string templ = (fs::temp_directory_path() / "plexmoor-fault-matrix-XXXXXX").string();
    if (!mkdtemp(templ.data())) return EXIT_FAILURE;
    const fs::path dir = templ;

    auto library = fault_matrix::library_operations();
    auto window = fault_matrix::window_operations();
    std::vector<fault_matrix::Operation*> ops;
    for (auto& op : library)
        ops.push_back(op.get());
    for (auto& op : window)
        ops.push_back(op.get());

    const auto start = std::chrono::steady_clock::now();
    const std::string table = fault_matrix::table(ops, dir);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fputs(table.c_str(), stdout);
    std::printf("\n%zu faults x %zu operations in %.2f s of wall time\n\n",
                fault_matrix::faults().size(), ops.size(), seconds);

    auto backup = fault_matrix::backup_operation();
    ops.push_back(backup.get());
    const std::string crashes = fault_matrix::crash_table(ops, dir);
    std::fputs(crashes.c_str(), stdout);
    fs::remove_all(dir);
    bool clean = table.find("WRONG") == std::string::npos &&
                 table.find("LOST") == std::string::npos &&
                 crashes.find("not reached") == std::string::npos;
    return clean ? EXIT_SUCCESS : EXIT_FAILURE;
}
