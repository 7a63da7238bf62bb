// The usbfs side of the emulated bridge: answers the ioctls libusb sends to
// a device node (claims, control and bulk URBs, reaping, discards) from an
// Ft2232hBridge, inside umockdev's ioctl emulation.
#pragma once

#include "ft2232h_bridge.h"

#include <umockdev.h>

#include <functional>
#include <list>

namespace usbemu {

class UsbfsHandler {
  public:
    // `on_unplug` runs once, on umockdev's worker thread, when the bridge
    // goes off the bus.
    UsbfsHandler(Ft2232hBridge& bridge, std::function<void()> on_unplug);
    ~UsbfsHandler();
    UsbfsHandler(const UsbfsHandler&) = delete;
    UsbfsHandler& operator=(const UsbfsHandler&) = delete;

    UMockdevIoctlBase* base() const { return base_; }
    // Frees interface A when the program that held it has gone without
    // releasing it (a crash, a kill), so the board is closed and saved.
    void release_abandoned();

  private:
    struct Urb {
        UMockdevIoctlClient* client;
        UMockdevIoctlData* data; // the URB as the client sees it, with its buffer resolved
    };

    static gboolean on_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    bool handle(UMockdevIoctlClient* client);
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    int claim(UMockdevIoctlClient* client, unsigned interface);
    void check_unplug();

    Ft2232hBridge& bridge_;
    std::function<void()> on_unplug_;
    bool unplug_told_ = false;
    UMockdevIoctlBase* base_;
    UMockdevIoctlClient* holder_ = nullptr; // the client that claimed interface A
    std::list<Urb> held_;                   // submitted, not answered yet
    std::list<Urb> done_;                   // answered, waiting to be reaped
};

} // namespace usbemu
