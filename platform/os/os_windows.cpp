#include "os.h"
#include "stop_event_windows.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

namespace os {
namespace {

void (*interrupt_handler)() = nullptr;

std::string module_file(HMODULE module) {
    // Long paths need more than MAX_PATH; grow until the name fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HANDLE as_handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

FileId id_of(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return {};
    return {info.dwVolumeSerialNumber,
            (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Shared as a POSIX file is: readers, writers, and a rename that replaces
// the file while it is open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (interrupt_handler) interrupt_handler();
    return TRUE;
}

void CALLBACK on_stop_event(void*, BOOLEAN) {
    if (interrupt_handler) interrupt_handler();
}

} // namespace

const int kByteFileFlags = _O_BINARY | _O_NOINHERIT;

std::string program_file(std::string_view name) {
    return std::string(name) + ".exe";
}

std::string library_file(const std::string& name) {
    return name + ".dll";
}

void* load_library(const std::string& path, std::string& why) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (!handle) why = path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(handle);
}

void* library_symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::string module_path(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return {};
    return module_file(module);
}

std::string program_path() {
    return module_file(nullptr);
}

int process_id() {
    return static_cast<int>(GetCurrentProcessId());
}

// The NetBIOS name, as the network shows the computer (gethostname would
// need Winsock started first).
std::string host_name() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return {};
    return std::string(name, size);
}

bool replace_file(const std::string& from, const std::string& to) {
    // Write-through: the call returns once the rename is on the disk.
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

namespace {

// Renamed through its open handle, so its lock never lapses: another
// process never sees the file under its new name unlocked, as it would
// between a close, a move and a new open. Refused where to exists.
bool rename_open(int fd, const std::string& to) {
    const int wide = MultiByteToWideChar(CP_ACP, 0, to.c_str(), -1, nullptr, 0);
    if (wide <= 0) return false;
    std::wstring relative(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, to.c_str(), -1, relative.data(), wide);
    const DWORD full = GetFullPathNameW(relative.c_str(), 0, nullptr, nullptr);
    if (full == 0) return false;
    std::wstring path(full, L'\0');
    if (GetFullPathNameW(relative.c_str(), full, path.data(), nullptr) == 0) return false;
    path.resize(wcslen(path.c_str()));
    const size_t bytes = sizeof(FILE_RENAME_INFO) + path.size() * sizeof(WCHAR);
    std::vector<unsigned char> buffer(bytes, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(path.size() * sizeof(WCHAR));
    std::memcpy(info->FileName, path.data(), info->FileNameLength);
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (!SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(bytes))) {
        const DWORD error = GetLastError();
        errno = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : EIO;
        return false;
    }
    return FlushFileBuffers(handle) != 0;
}

} // namespace

int rename_new_held(int fd, const std::string& /*from: renamed by its handle*/,
                    const std::string& to) {
    if (rename_open(fd, to)) return fd;
    const int refused = errno;
    _close(fd);
    errno = refused;
    return -1;
}

int open_regular(const char* path) {
    // No FIFO lives among a Windows folder's files: a regular file is one
    // that is not a folder.
    struct _stat64 st {};
    if (_stat64(path, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return -1;
    return _open(path, _O_RDONLY | kByteFileFlags);
}

bool flush_to_disk(int fd) {
    return _commit(fd) == 0;
}

bool flush_to_disk(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

int create_unique_file(std::string& name) {
    const std::string pattern = name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = pattern;
        if (_mktemp_s(name.data(), name.size() + 1) != 0) return -1;
        // Shared for deletion, so that it can be renamed while it is open.
        const HANDLE handle =
            CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            errno = EACCES;
            return -1;
        }
        const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            return -1;
        }
        _setmode(fd, _O_BINARY);
        // Locked before anything is written, and not yet deleted once locked:
        // a sweep of stale temporary files may have taken it between its
        // creation and the lock, and then a new one is made.
        FILE_STANDARD_INFO standard{};
        if (lock_file(fd) &&
            GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) &&
            !standard.DeletePending)
            return fd;
        _close(fd);
    }
    return -1;
}

std::FILE* create_new_file(const std::string& path) {
    // The C runtime's fopen knows no "x".
    const int fd =
        _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) _close(fd);
    return file;
}

bool copy_permissions(const std::string&, int) {
    return true;
}

bool file_id(const std::string& path, FileId& id) {
    HANDLE file = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    id = id_of(file);
    CloseHandle(file);
    return true;
}

// Windows replaces no file that is open, so the lock cannot be a handle of
// the file itself: it is a mutex of the session named after the file's full
// path, which the system lets go when its holder dies.
std::intptr_t open_for_lock(const std::string& path, FileId& id) {
    HANDLE file = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    const bool regular = GetFileType(file) == FILE_TYPE_DISK;
    id = id_of(file);
    CloseHandle(file);
    char full[MAX_PATH * 4];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (!regular || n == 0 || n >= sizeof full) return -1;
    std::string name(full, n);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const unsigned long long key = std::hash<std::string>{}(name);
    std::string mutex_name = "Local\\plexmoor-file-";
    for (int shift = 60; shift >= 0; shift -= 4)
        mutex_name += "0123456789abcdef"[(key >> shift) & 15];
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutex_name.c_str());
    return mutex ? reinterpret_cast<std::intptr_t>(mutex) : -1;
}

// An abandoned mutex (its holder died) is taken all the same.
bool lock_exclusive(std::intptr_t handle) {
    const DWORD got = WaitForSingleObject(as_handle(handle), INFINITE);
    return got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
}

void close_for_lock(std::intptr_t handle) {
    ReleaseMutex(as_handle(handle)); // refused when this thread does not hold it
    CloseHandle(as_handle(handle));
}

void on_interrupt(void (*handler)()) {
    interrupt_handler = handler;
    SetConsoleCtrlHandler(on_console_event, TRUE);
    // A program that start_child started has its parent's stop event,
    // watched on a thread of the system's pool as the console's events are.
    static HANDLE stop =
        OpenEventA(SYNCHRONIZE, FALSE, stop_event_name(GetCurrentProcessId()).c_str());
    static HANDLE watch = nullptr;
    if (stop && !watch)
        RegisterWaitForSingleObject(&watch, stop, on_stop_event, nullptr, INFINITE,
                                    WT_EXECUTEONLYONCE);
}

int terminal_columns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetConsoleScreenBufferInfo(handle, &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

bool is_terminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

void set_environment(const char* name, const char* value) {
    // An empty value removes the variable on Windows, as null does here.
    _putenv_s(name, value ? value : "");
}

std::string make_temp_folder(const std::string& prefix) {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder =
            base / (prefix + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(GetTickCount64()) + "-" + std::to_string(attempt));
        if (CreateDirectoryA(folder.string().c_str(), nullptr)) return folder.string();
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return {};
}

std::string user_config_folder() {
    const char* dir = std::getenv("APPDATA");
    return dir && *dir ? std::string(dir) : std::string();
}

bool process_alive(long long id) {
    if (id <= 0) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

std::string user_data_folder() {
    const char* dir = std::getenv("LOCALAPPDATA");
    return dir && *dir ? std::string(dir) : std::string();
}

std::string user_state_folder() {
    return user_data_folder();
}

// Access bits say nothing of a folder's rights on Windows; a file created
// there and gone again does.
bool folder_writable(const std::string& folder) {
    const std::string probe = folder + "\\.plexmoor-probe-" + std::to_string(GetCurrentProcessId());
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::tm local_time(std::time_t moment) {
    std::tm local{};
    localtime_s(&local, &moment);
    return local;
}

// A byte-range lock over the whole file; a Windows lock also keeps other
// handles from reading the range, which no reader of a live file needs.
bool lock_file(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED whole{};
    return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                      MAXDWORD, &whole) != 0;
}

bool file_locked(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED whole{};
    const bool held = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                                 MAXDWORD, MAXDWORD, &whole) == 0;
    if (!held) UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(handle);
    return held;
}

} // namespace os
