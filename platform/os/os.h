// The few calls that differ between Windows and POSIX systems, behind one
// interface: os_posix.cpp and os_windows.cpp each implement all of it.
#pragma once

#include <compare>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

namespace os {

// The file name of the shared library called name: libname.so, name.dll;
// of the program called name: name, name.exe.
std::string library_file(const std::string& name);
std::string program_file(std::string_view name);
// Loads a shared library by path or name; null, with the reason in why,
// when it does not load. It stays loaded for the life of the process.
void* load_library(const std::string& path, std::string& why);
void* library_symbol(void* library, const char* name);

// The path of the program or library that holds address; empty when the
// system cannot tell.
std::string module_path(const void* address);
// The running program's own path; empty when the system cannot tell.
std::string program_path();
int process_id();
// Whether a process of that id runs on this host (a zombie counts as ended).
bool process_alive(long long id);
// This computer's name on the network; empty when the system cannot tell.
std::string host_name();

// Flags every open() of a byte file adds: not inherited by the programs
// it starts, and on Windows binary (no CR LF translation).
extern const int kByteFileFlags;

// Renames from over to in one step (the target replaced if it exists) and
// sees the rename on the disk before it returns.
bool replace_file(const std::string& from, const std::string& to);
// The bytes written to an open file on the disk, not in a cache.
bool flush_to_disk(int fd);
bool flush_to_disk(std::FILE* file);
// Gives the synced file open at fd, made by create_unique_file under the
// name from, the name to, which must not exist yet; the new name is on the
// disk before it returns. The file stays open under its new name with the
// lock it was created with: the descriptor (fd itself, or on Windows, where
// an open file takes no rename, a new one), or -1, fd closed and the file
// left under from, when to exists.
int rename_new_held(int fd, const std::string& from, const std::string& to);
// Opens a regular file (after links) for binary reading; -1 for anything
// else. A FIFO of that name is refused, never waited on.
int open_regular(const char* path);
// Creates a file of a new name made from name, which ends in XXXXXX, for
// reading and writing in binary, locked (lock_file) while it is open, so a
// sweep of temporary files a crash left passes it by; the descriptor, or -1.
int create_unique_file(std::string& name);
// Creates a file that must not exist yet, for writing in binary; null
// with errno EEXIST when it does.
std::FILE* create_new_file(const std::string& path);
// The access bits of an existing file onto an open one (POSIX only: a
// Windows file has none beyond read-only, which a new file starts without).
bool copy_permissions(const std::string& from, int fd);

// An advisory lock on an open file, taken without waiting, that tells
// other processes the file is being written and is not yet what it will
// be. False when another open of the file holds it. It goes with the
// file's last descriptor, so a process that dies lets it go.
bool lock_file(int fd);
// Whether another open of the file at path holds that lock now. False for
// a file that cannot be opened.
bool file_locked(const std::string& path);

// Which file a path names, the same through every name and link of it.
struct FileId {
    unsigned long long volume = 0;
    unsigned long long index = 0;
    auto operator<=>(const FileId&) const = default;
};
bool file_id(const std::string& path, FileId& id);
// An existing regular file opened to hold a lock on it, with its identity;
// -1 when it cannot be opened or is no regular file (a pipe of that name is
// not waited on). While it is open, a rename may still replace the file.
std::intptr_t open_for_lock(const std::string& path, FileId& id);
// Waits for the exclusive lock every process takes on that file (one
// holder a process: FileLock counts its own). The lock goes with the handle.
bool lock_exclusive(std::intptr_t handle);
void close_for_lock(std::intptr_t handle);

// Calls handler for Ctrl+C, a closed terminal or a request to end (SIGINT,
// SIGHUP and SIGTERM; the console's Ctrl+C, Ctrl+Break and close, and for a
// program that start_child started its stop event, process.h). The handler
// runs on a signal or on a thread of the system's: it may only set atomic
// flags. Output to a closed pipe then fails instead of ending the program
// (SIGPIPE is ignored).
void on_interrupt(void (*handler)());
bool is_terminal(std::FILE* stream);
// The columns of the terminal a stream writes to; 80 where it cannot tell.
int terminal_columns(std::FILE* stream);

// Sets (value non-null) or removes an environment variable of this process.
void set_environment(const char* name, const char* value);
// A new empty folder under the temporary folder, its name starting with
// prefix; empty when none could be made.
std::string make_temp_folder(const std::string& prefix);
// The folder for a user's settings of every program ($XDG_CONFIG_HOME or
// ~/.config; %APPDATA%); empty when the environment names none.
std::string user_config_folder();
// The folders for a user's data and state of every program
// ($XDG_DATA_HOME or ~/.local/share, $XDG_STATE_HOME or ~/.local/state;
// %LOCALAPPDATA% for both); empty when the environment names none.
std::string user_data_folder();
std::string user_state_folder();
// Whether this process may create files in folder.
bool folder_writable(const std::string& folder);
// The local time of a moment.
std::tm local_time(std::time_t moment);

} // namespace os
