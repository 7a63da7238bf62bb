// Programs the demo image into 1, 2, 4 and 8 virtual boards at once with
// `plexmoor-cli program --all`, the boards in real time (the exact mode's
// fixed delays, as a real board has them), and prints the wall time of each
// gang against one board alone and the CPU time each board cost (the
// workers' and the parent's user and system time, over the boards).
// bench_gang [COUNT...] takes other gang sizes.
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

double CpuSeconds(const rusage& r) {
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double ChildrenCpu() {
    rusage r{};
    getrusage(RUSAGE_CHILDREN, &r);
    return CpuSeconds(r);
}

int Run(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

struct Figure {
    double wall = 0, cpu_per_board = 0;
    bool ok = false;
};

Figure Gang(const fs::path& dir, const std::string& cli, int boards) {
    std::string list;
    for (int n = 1; n <= boards; ++n) {
        const fs::path file = dir / ("gang" + std::to_string(boards) + "-" + std::to_string(n));
        fs::remove(file);
        list += (n > 1 ? ":" : "") + file.string();
    }
    const double cpu = ChildrenCpu();
    const auto start = std::chrono::steady_clock::now();
    const int status =
        Run("FTD2XX_VIRTUAL_BOARDS='" + list + "' '" + cli + "' program --all --no-record '" +
            (dir / "demo.b").string() + "' >/dev/null 2>&1");
    Figure f;
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.cpu_per_board = (ChildrenCpu() - cpu) / boards;
    f.ok = status == 0;
    return f;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1, 2, 4, 8};
    const fs::path bin = PLEXMOOR_PRODUCT_BIN;
    const fs::path dir = fs::temp_directory_path() / "plexmoor-bench-gang";
    fs::create_directories(dir);
    if (Run("'" + (bin / "plexmoor-demo-image").string() + "' '" + (dir / "demo.b").string() +
            "' >/dev/null") != 0) {
        std::fprintf(stderr, "bench_gang: the demo image could not be made\n");
        return 1;
    }
    std::printf("%-7s %10s %10s %14s\n", "boards", "wall s", "vs one", "CPU s/board");
    double one = 0;
    for (int boards : sizes) {
        const Figure f = Gang(dir, (bin / "plexmoor-cli").string(), boards);
        if (one == 0) one = f.wall;
        std::printf("%-7d %10.2f %9.2fx %14.3f%s\n", boards, f.wall, f.wall / one, f.cpu_per_board,
                    f.ok ? "" : "  (a board failed)");
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return 0;
}
