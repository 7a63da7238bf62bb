// Programs started with CreateProcess. Each child's output comes through a
// named pipe of its own whose read end is overlapped, so one wait covers
// every child and a quiet one never holds up the others; an anonymous pipe
// has no overlapped reads. What the caller's Child does not carry (the
// process, its stop event, the read in flight) is kept here by its id.
#include "process.h"
#include "stop_event_windows.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace os {
namespace {

constexpr DWORD kPipeBuffer = 64 * 1024;
constexpr int kLargestExitCode = 255;

HANDLE as_handle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

struct Running {
    HANDLE process = nullptr;
    HANDLE stop = nullptr;
    OVERLAPPED read{};
    bool reading = false; // a read is in flight into buffer
    char buffer[4096];

    Running() { read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~Running() {
        for (HANDLE h : {process, stop, read.hEvent})
            if (h) CloseHandle(h);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

std::mutex registry_lock;
std::map<long, std::unique_ptr<Running>> registry;

Running* running(long id) {
    std::lock_guard<std::mutex> hold(registry_lock);
    auto found = registry.find(id);
    return found == registry.end() ? nullptr : found->second.get();
}

std::string reason(DWORD error) {
    char text[256] = "";
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, text, sizeof text, nullptr);
    std::string why(text, n);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == '.'))
        why.pop_back();
    return why.empty() ? "error " + std::to_string(error) : why;
}

// The argument as the C runtime's parser of a command line gives it back:
// bare when it holds no blank or quote, else quoted, each quote escaped,
// and backslashes doubled where a quote (an escaped one, or the closing
// one) follows them; other backslashes are taken as they are.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + '"';
}

// A pipe whose read end this process keeps, overlapped, and whose write end
// the child inherits; false with the reason.
bool make_pipe(HANDLE& read_end, HANDLE& write_end, std::string& why) {
    static std::atomic<unsigned> count{0};
    const std::string name = "\\\\.\\pipe\\plexmoor-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(count++);
    // The first instance, so no other program can have made one of that
    // name to read the child's output.
    read_end = CreateNamedPipeA(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, kPipeBuffer, 0, nullptr);
    if (read_end == INVALID_HANDLE_VALUE) {
        why = reason(GetLastError());
        return false;
    }
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    write_end = CreateFileA(name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (write_end == INVALID_HANDLE_VALUE) {
        why = reason(GetLastError());
        CloseHandle(read_end);
        return false;
    }
    return true;
}

// Reads are started one at a time per child; the wait in read_children
// covers every child's read at once.
void start_read(Child& child, Running& r) {
    if (r.reading) return;
    if (ReadFile(as_handle(child.output), r.buffer, sizeof r.buffer, nullptr, &r.read) ||
        GetLastError() == ERROR_IO_PENDING) {
        r.reading = true;
        return;
    }
    CloseHandle(as_handle(child.output)); // the child closed its output
    child.output = -1;
    child.open = false;
}

// Takes a finished read; the in-flight one stays.
void take_read(Child& child, Running& r) {
    DWORD n = 0;
    if (!r.reading) return;
    if (!GetOverlappedResult(as_handle(child.output), &r.read, &n, FALSE)) {
        if (GetLastError() == ERROR_IO_INCOMPLETE) return;
        r.reading = false;
        CloseHandle(as_handle(child.output)); // ended: the child closed its output
        child.output = -1;
        child.open = false;
        return;
    }
    r.reading = false;
    // From the last byte before, for a CR whose LF comes in this read.
    std::size_t from = child.unread.empty() ? 0 : child.unread.size() - 1;
    child.unread.append(r.buffer, n);
    for (std::size_t at; (at = child.unread.find("\r\n", from)) != std::string::npos; from = at)
        child.unread.erase(at, 1);
}

} // namespace

bool start_child(const std::vector<std::string>& args, Child& child, std::string& why) {
    if (args.empty()) {
        why = "no program";
        return false;
    }
    std::string command_line;
    for (const std::string& arg : args)
        command_line += (command_line.empty() ? "" : " ") + quoted(arg);

    auto r = std::make_unique<Running>();
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!r->read.hEvent || !make_pipe(read_end, write_end, why)) {
        if (why.empty()) why = reason(GetLastError());
        return false;
    }
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE nothing = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherited, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (nothing == INVALID_HANDLE_VALUE) {
        why = reason(GetLastError());
        CloseHandle(read_end);
        CloseHandle(write_end);
        return false;
    }
    // Only these two handles go to the child, whatever else this process
    // holds inheritable.
    HANDLE handed[] = {write_end, nothing};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> list_memory(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_memory.data());
    STARTUPINFOEXA start{};
    start.StartupInfo.cb = sizeof start;
    start.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    start.StartupInfo.hStdInput = nothing;
    start.StartupInfo.hStdOutput = write_end;
    start.StartupInfo.hStdError = write_end;
    DWORD flags = CREATE_SUSPENDED;
    if (InitializeProcThreadAttributeList(list, 1, 0, &size) &&
        UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handed, sizeof handed,
                                  nullptr, nullptr)) {
        start.lpAttributeList = list;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    // A worker shares this console, so Ctrl+C there reaches it too; without
    // a console, none is opened for it.
    if (!GetConsoleWindow()) flags |= CREATE_NO_WINDOW;
    PROCESS_INFORMATION started{};
    const BOOL created =
        CreateProcessA(args[0].c_str(), command_line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                       nullptr, &start.StartupInfo, &started);
    const DWORD error = GetLastError();
    if (start.lpAttributeList) DeleteProcThreadAttributeList(list);
    CloseHandle(write_end);
    CloseHandle(nothing);
    if (!created) {
        CloseHandle(read_end);
        why = reason(error);
        return false;
    }
    // The stop event exists before the child runs, so it finds it at its
    // first os::on_interrupt.
    r->process = started.hProcess;
    r->stop = CreateEventA(nullptr, TRUE, FALSE, stop_event_name(started.dwProcessId).c_str());
    if (!r->stop) {
        why = reason(GetLastError());
        TerminateProcess(started.hProcess, 1);
        CloseHandle(started.hThread);
        CloseHandle(read_end);
        return false;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    child.id = static_cast<long>(started.dwProcessId);
    child.output = reinterpret_cast<std::intptr_t>(read_end);
    child.open = true;
    std::lock_guard<std::mutex> hold(registry_lock);
    registry[child.id] = std::move(r);
    return true;
}

void read_children(std::vector<Child>& children, int timeout_ms) {
    std::vector<std::pair<Child*, Running*>> reading;
    for (Child& child : children) {
        Running* r = child.open ? running(child.id) : nullptr;
        if (!r) continue;
        start_read(child, *r);
        if (child.open) reading.emplace_back(&child, r);
    }
    if (reading.empty()) return;
    // A wait takes at most 64 handles: the children past them are looked
    // at when it ends, at the timeout at the latest.
    std::vector<HANDLE> events;
    for (std::size_t i = 0; i < reading.size() && i < MAXIMUM_WAIT_OBJECTS; ++i)
        events.push_back(reading[i].second->read.hEvent);
    WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE,
                           static_cast<DWORD>(std::max(timeout_ms, 0)));
    for (auto& [child, r] : reading)
        take_read(*child, *r);
}

void stop_child(const Child& child) {
    if (Running* r = running(child.id)) SetEvent(r->stop);
}

int wait_child(Child& child) {
    Running* r = running(child.id);
    if (child.output != -1) {
        // A read in flight writes into the buffer until it is cancelled.
        if (r && r->reading) {
            DWORD n = 0;
            CancelIoEx(as_handle(child.output), &r->read);
            GetOverlappedResult(as_handle(child.output), &r->read, &n, TRUE);
        }
        CloseHandle(as_handle(child.output));
    }
    child.output = -1;
    child.open = false;
    DWORD code = 1;
    if (r) {
        WaitForSingleObject(r->process, INFINITE);
        GetExitCodeProcess(r->process, &code);
        std::lock_guard<std::mutex> hold(registry_lock);
        registry.erase(child.id);
    }
    child.id = -1;
    return code > kLargestExitCode ? kLargestExitCode : static_cast<int>(code);
}

} // namespace os
