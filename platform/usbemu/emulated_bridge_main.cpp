// emulated-bridge COMMAND [ARG...]: runs a command with an emulated FT2232H
// on its USB bus. The bridge lives in this process: a umockdev testbed holds
// its sysfs entries and device node, the command runs with umockdev's
// preload library so that libusb's sysfs reads and usbfs ioctls reach the
// testbed, and the ioctls are answered here from the virtual board.
//
// EMULATED_BRIDGE_BOARD=FILE  the board's flash contents (as FTD2XX_VIRTUAL_BOARD)
// EMULATED_BRIDGE_FAULTS=...  nodevice, busy, bulk=N, stall=N, unplug=N
// FTD2XX_VIRTUAL_PART, _BRIDGE, _FAULTS, _SOCKET, _USB_US, _LATENCY_MS and
// _STATS describe the board behind the bridge, its USB timing and where its
// figures go, as for the virtual board ("%s" is the bridge's serial number).
#include "ft2232h_bridge.h"
#include "ft2232h_descriptors.h"
#include "usbfs_handler.h"
#include "virtual_board.h"

#include <glib.h>
#include <umockdev.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kDevNode[] = "/dev/bus/usb/001/002";
constexpr char kSysPath[] = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
constexpr char kPreload[] = "libumockdev-preload.so.0";
constexpr int kUsage = 2;

int fail(const std::string& text, int status = 1) {
    std::fprintf(stderr, "emulated-bridge: %s\n", text.c_str());
    return status;
}

std::string hex(const uint8_t* bytes, std::size_t size) {
    std::string text;
    char pair[3];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

// The bridge's sysfs entries as umockdev's text format writes them: the
// properties udev would give it and the attributes libusb reads.
std::string device_record() {
    return std::string("P: ") + (kSysPath + 4) + "\n" + "N: " + (kDevNode + 5) + "\n" +
           "E: SUBSYSTEM=usb\nE: DRIVER=usb\nE: DEVTYPE=usb_device\n"
           "E: BUSNUM=001\nE: DEVNUM=002\n" +
           "E: DEVNAME=" + kDevNode + "\n" + "E: ID_SERIAL_SHORT=" + usbemu::kSerialNumber + "\n" +
           "A: busnum=1\\n\nA: devnum=2\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\n"
           "A: bNumInterfaces= 2\\n\nA: idVendor=0403\\n\nA: idProduct=6010\\n\n"
           "A: serial=" +
           usbemu::kSerialNumber + "\\n\n" + "H: descriptors=" +
           hex(usbemu::kDeviceDescriptor.data(), usbemu::kDeviceDescriptor.size()) +
           hex(usbemu::kConfigDescriptor.data(), usbemu::kConfigDescriptor.size()) + "\n";
}

// The board behind the bridge, from the same variables the virtual board
// reads. It keeps real time, the model's: the command sleeps in its own
// process, and each transfer is answered at the moment a real FT2232H
// would answer it.
vboard::Board* attach_board(std::string& error) {
    const char* path = std::getenv("EMULATED_BRIDGE_BOARD");
    if (!path || !*path) {
        error = "EMULATED_BRIDGE_BOARD must name the board file";
        return nullptr;
    }
    setenv("FTD2XX_VIRTUAL_BOARD", path, 1);
    unsetenv("FTD2XX_VIRTUAL_BOARDS");
    std::vector<vboard::Options> boards;
    if (!vboard::boards_from_environment(boards, error)) return nullptr;
    vboard::Options options = boards.at(0);
    options.virtual_time = false;
    options.serial = usbemu::kSerialNumber;
    // "%s" in the socket's name is this bridge's serial number.
    if (const char* socket = std::getenv("FTD2XX_VIRTUAL_SOCKET"); socket && *socket) {
        options.socket = socket;
        if (const auto at = options.socket.find("%s"); at != std::string::npos)
            options.socket.replace(at, 2, options.serial);
    }
    vboard::Board* board = vboard::attach(options);
    if (!board) error = "the board file cannot be used";
    return board;
}

// The command's environment: the D2XX stand-in on its USB road, libusb
// through umockdev.
void prepare_command_environment() {
    for (const char* name :
         {"FTD2XX_VIRTUAL_BOARD", "FTD2XX_VIRTUAL_TIME", "FTD2XX_VIRTUAL_PART",
          "FTD2XX_VIRTUAL_BRIDGE", "FTD2XX_VIRTUAL_FAULTS", "FTD2XX_VIRTUAL_SOCKET",
          "FTD2XX_VIRTUAL_USB_US", "FTD2XX_VIRTUAL_LATENCY_MS", "FTD2XX_VIRTUAL_STATS"})
        unsetenv(name);
    const char* preload = std::getenv("LD_PRELOAD");
    setenv("LD_PRELOAD",
           preload && *preload ? (std::string(kPreload) + ":" + preload).c_str() : kPreload, 1);
    // A sanitized program wants its runtime first; the preload is put before it.
    const char* asan = std::getenv("ASAN_OPTIONS");
    setenv(
        "ASAN_OPTIONS",
        (std::string("verify_asan_link_order=0") + (asan && *asan ? ":" : "") + (asan ? asan : ""))
            .c_str(),
        1);
}

struct Run {
    GMainLoop* loop;
    int status = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return fail("usage: emulated-bridge COMMAND [ARG...]", kUsage);
    std::string error;
    usbemu::UsbFaults faults;
    const char* fault_text = std::getenv("EMULATED_BRIDGE_FAULTS");
    if (fault_text && !usbemu::parse_usb_faults(fault_text, faults, error))
        return fail(error, kUsage);
    vboard::Board* board = attach_board(error);
    if (!board) return fail(error, kUsage);

    UMockdevTestbed* testbed = umockdev_testbed_new();
    usbemu::Ft2232hBridge bridge(*board, faults);
    usbemu::UsbfsHandler handler(bridge, [testbed] {
        // Off the bus: gone from sysfs for every later look, as a real unplug.
        g_idle_add(
            [](gpointer bed) {
                umockdev_testbed_remove_device(UMOCKDEV_TESTBED(bed), kSysPath);
                return G_SOURCE_REMOVE;
            },
            testbed);
    });
    if (!faults.no_device) {
        GError* gerror = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed, kDevNode, handler.base(), &gerror) ||
            !umockdev_testbed_add_from_string(testbed, device_record().c_str(), &gerror)) {
            const std::string why = gerror ? gerror->message : "umockdev refused the device";
            g_clear_error(&gerror);
            return fail(why);
        }
    }

    prepare_command_environment();
    GPid child = 0;
    GError* gerror = nullptr;
    if (!g_spawn_async(nullptr, argv + 1, nullptr,
                       GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                   G_SPAWN_CHILD_INHERITS_STDIN),
                       nullptr, nullptr, &child, &gerror)) {
        const std::string why = gerror->message;
        g_clear_error(&gerror);
        return fail(why, 127);
    }
    // Ctrl+C reaches the command through the terminal; the bridge stays up
    // until the command has ended.
    std::signal(SIGINT, SIG_IGN);
    Run run{g_main_loop_new(nullptr, FALSE)};
    g_child_watch_add(
        child,
        [](GPid pid, gint status, gpointer data) {
            auto* r = static_cast<Run*>(data);
            r->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            g_spawn_close_pid(pid);
            g_main_loop_quit(r->loop);
        },
        &run);
    g_main_loop_run(run.loop);
    g_main_loop_unref(run.loop);

    handler.release_abandoned();
    if (bridge.holds_interface_a()) bridge.release(0);
    vboard::detach(); // writes the board file
    if (!faults.no_device) umockdev_testbed_detach_ioctl(testbed, kDevNode, nullptr);
    g_object_unref(testbed);
    return run.status;
}
