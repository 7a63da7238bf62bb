#include "os.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace os {
namespace {

constexpr int kUniqueAttempts = 100;

void (*interrupt_handler)() = nullptr;

// A rename is on the disk only once its folder is.
void sync_folder_of(const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

const int kByteFileFlags = O_CLOEXEC;

std::string program_file(std::string_view name) {
    return std::string(name);
}

std::string library_file(const std::string& name) {
    return "lib" + name + ".so";
}

void* load_library(const std::string& path, std::string& why) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        why = error ? error : path;
    }
    return handle;
}

void* library_symbol(void* library, const char* name) {
    return dlsym(library, name);
}

std::string module_path(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) && info.dli_fname)
        return std::filesystem::absolute(info.dli_fname).string();
    return {};
}

std::string program_path() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

int process_id() {
    return static_cast<int>(::getpid());
}

std::string host_name() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool replace_file(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) return false;
    sync_folder_of(to);
    return true;
}

// Linked while still open: the lock taken at creation goes with the file to
// its new name, so no other process sees it unlocked there. A link never
// replaces a name that exists.
int rename_new_held(int fd, const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) != 0) {
        ::close(fd);
        return -1;
    }
    ::unlink(from.c_str());
    sync_folder_of(to);
    return fd;
}

int open_regular(const char* path) {
    // Non-blocking, so a FIFO's open returns at once; it is refused below.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool flush_to_disk(int fd) {
    return ::fsync(fd) == 0;
}

bool flush_to_disk(std::FILE* file) {
    return std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
}

int create_unique_file(std::string& name) {
    const std::string pattern = name;
    for (int attempt = 0; attempt < kUniqueAttempts; ++attempt) {
        name = pattern;
        const int fd = ::mkstemp(name.data());
        if (fd < 0) return fd;
        // Locked before anything is written, and still linked once locked: a
        // sweep of stale temporary files may have taken the name between
        // mkstemp and the lock, and then a new one is made.
        struct stat st {};
        if (lock_file(fd) && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
            // The permissions of a file the user creates, not mkstemp's 0600.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

std::FILE* create_new_file(const std::string& path) {
    return std::fopen(path.c_str(), "wbxe");
}

bool copy_permissions(const std::string& from, int fd) {
    struct stat old {};
    if (::stat(from.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return true;
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

bool file_id(const std::string& path, FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    id = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    return true;
}

std::intptr_t open_for_lock(const std::string& path, FileId& id) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    id = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    return fd;
}

// flock belongs to the open file, so a second opening waits like another
// process would.
bool lock_exclusive(std::intptr_t handle) {
    int locked;
    do
        locked = ::flock(static_cast<int>(handle), LOCK_EX);
    while (locked != 0 && errno == EINTR);
    return locked == 0;
}

void close_for_lock(std::intptr_t handle) {
    ::close(static_cast<int>(handle));
}

void on_interrupt(void (*handler)()) {
    interrupt_handler = handler;
    struct sigaction action {};
    action.sa_handler = [](int) {
        if (interrupt_handler) interrupt_handler();
    };
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGHUP, SIGTERM})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int terminal_columns(std::FILE* stream) {
    struct winsize size {};
    if (::ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

bool is_terminal(std::FILE* stream) {
    return ::isatty(fileno(stream)) != 0;
}

void set_environment(const char* name, const char* value) {
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

std::string make_temp_folder(const std::string& prefix) {
    std::string folder = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    return ::mkdtemp(folder.data()) ? folder : std::string();
}

namespace {

// $VARIABLE when it names an absolute folder, else ~/fallback.
std::string xdg_folder(const char* variable, const char* fallback) {
    if (const char* dir = std::getenv(variable); dir && *dir == '/') return dir;
    if (const char* home = std::getenv("HOME"); home && *home)
        return (std::filesystem::path(home) / fallback).string();
    return {};
}

} // namespace

std::string user_config_folder() {
    return xdg_folder("XDG_CONFIG_HOME", ".config");
}

bool process_alive(long long id) {
    if (id <= 0) return false;
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

std::string user_data_folder() {
    return xdg_folder("XDG_DATA_HOME", ".local/share");
}

std::string user_state_folder() {
    return xdg_folder("XDG_STATE_HOME", ".local/state");
}

bool folder_writable(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::tm local_time(std::time_t moment) {
    std::tm local{};
    ::localtime_r(&moment, &local);
    return local;
}

// flock belongs to the open file, not the process: a second opening in
// this very process is refused as another process's would be.
bool lock_file(int fd) {
    int locked;
    do
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    return locked == 0;
}

bool file_locked(const std::string& path) {
    // Non-blocking, so that a pipe of that name is not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = !lock_file(fd);
    ::close(fd);
    return held;
}

} // namespace os
