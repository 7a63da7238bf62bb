// usbdevfs requests answered from the emulated FT2232H. Every URB is
// answered when it is submitted, except an IN transfer the bridge does not
// answer (a stalled bridge): that one waits until libusb discards it.
#include "usbfs_handler.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

namespace usbemu {
namespace {

constexpr std::size_t kSetupBytes = 8;
constexpr unsigned kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

// A resolved piece of the client's memory, one reference held.
struct Resolved {
    UMockdevIoctlData* data;
    explicit Resolved(UMockdevIoctlData* d) : data(d) {}
    ~Resolved() {
        if (data) g_object_unref(data);
    }
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;
};

// The ioctl's argument: a number the client passed by pointer.
unsigned number_argument(UMockdevIoctlClient* client) {
    Resolved number(umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                sizeof(unsigned), nullptr));
    return number.data ? *reinterpret_cast<unsigned*>(number.data->data) : ~0u;
}

template <typename T> T* as(UMockdevIoctlData* data) {
    return reinterpret_cast<T*>(data->data);
}

void finish(UMockdevIoctlClient* client, int result) {
    if (result < 0)
        umockdev_ioctl_client_complete(client, -1, -result);
    else
        umockdev_ioctl_client_complete(client, result, 0);
}

// Puts a transfer's outcome into its URB: a byte count or a negative errno.
void answer(usbdevfs_urb* urb, int result) {
    urb->status = result < 0 ? result : 0;
    urb->actual_length = result < 0 ? 0 : result;
}

} // namespace

UsbfsHandler::UsbfsHandler(Ft2232hBridge& bridge, std::function<void()> on_unplug)
    : bridge_(bridge), on_unplug_(std::move(on_unplug)), base_(umockdev_ioctl_base_new()) {
    g_signal_connect(base_, "handle-ioctl", G_CALLBACK(on_ioctl), this);
}

UsbfsHandler::~UsbfsHandler() {
    for (std::list<Urb>* urbs : {&held_, &done_})
        for (Urb& urb : *urbs)
            g_object_unref(urb.data);
    if (holder_) g_object_unref(holder_);
    g_object_unref(base_);
}

gboolean UsbfsHandler::on_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<UsbfsHandler*>(self)->handle(client);
}

bool UsbfsHandler::handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (bridge_.unplugged() && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
        finish(client, -ENODEV);
        return true;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        Resolved caps(umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr));
        if (caps.data) *as<unsigned>(caps.data) = kCapabilities;
        finish(client, 0);
        return true;
    }
    case USBDEVFS_CONNINFO_EX(sizeof(usbdevfs_conninfo_ex)):
        finish(client, -ENOTTY); // libusb falls back to sysfs
        return true;
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
        finish(client, -ENODATA); // no kernel driver bound: nothing to detach
        return true;
    case USBDEVFS_CLAIMINTERFACE:
        finish(client, claim(client, number_argument(client)));
        return true;
    case USBDEVFS_RELEASEINTERFACE: {
        const unsigned interface = number_argument(client);
        if (interface == 0 && holder_ == client) {
            bridge_.release(0);
            g_clear_object(&holder_);
        }
        finish(client, 0);
        return true;
    }
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_RESET:
    case USBDEVFS_RESETEP:
    case USBDEVFS_CLEAR_HALT:
        finish(client, 0);
        return true;
    case USBDEVFS_SUBMITURB:
        submit(client, arg);
        return true;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        reap(client, arg);
        return true;
    case USBDEVFS_DISCARDURB:
        discard(client, arg);
        return true;
    }
    finish(client, -ENOTTY);
    return true;
}

int UsbfsHandler::claim(UMockdevIoctlClient* client, unsigned interface) {
    if (interface == 0) release_abandoned();
    const int result = bridge_.claim(interface);
    if (result == 0 && interface == 0)
        holder_ = G_TYPE_CHECK_INSTANCE_CAST(g_object_ref(client), umockdev_ioctl_client_get_type(),
                                             UMockdevIoctlClient);
    return result;
}

void UsbfsHandler::release_abandoned() {
    if (!holder_ || umockdev_ioctl_client_get_connected(holder_)) return;
    bridge_.release(0);
    g_clear_object(&holder_);
}

void UsbfsHandler::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!data) return finish(client, -EFAULT);
    auto* urb = as<usbdevfs_urb>(data);
    const int length = urb->buffer_length;
    Resolved buffer(length > 0 ? umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer),
                                                             std::size_t(length), nullptr)
                               : nullptr);
    uint8_t* bytes = buffer.data ? buffer.data->data : nullptr;
    int result = -EINVAL;
    if (!bytes && length > 0) {
        result = -EFAULT;
    } else if (urb->type == USBDEVFS_URB_TYPE_CONTROL && length >= int(kSetupBytes)) {
        const int wanted = bytes[6] | bytes[7] << 8;
        result = wanted + int(kSetupBytes) > length ? -EINVAL
                                                    : bridge_.control(bytes, bytes + kSetupBytes);
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && (urb->endpoint & 0x80)) {
        result = bridge_.bulk_in(urb->endpoint, bytes, std::size_t(std::max(length, 0)));
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK) {
        result = bridge_.bulk_out(urb->endpoint, bytes, std::size_t(std::max(length, 0)));
    }
    check_unplug();
    if (result == -ENODEV) { // submitting to a device that is gone
        g_object_unref(data);
        return finish(client, -ENODEV);
    }
    if (result == kNoAnswer) {
        held_.push_back({client, data});
    } else {
        answer(urb, result);
        done_.push_back({client, data});
    }
    finish(client, 0);
}

void UsbfsHandler::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    auto it = std::find_if(done_.begin(), done_.end(),
                           [client](const Urb& urb) { return urb.client == client; });
    if (it == done_.end()) return finish(client, bridge_.unplugged() ? -ENODEV : -EAGAIN);
    Resolved slot(umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr));
    if (slot.data) umockdev_ioctl_data_set_ptr(slot.data, 0, it->data);
    g_object_unref(it->data); // the slot keeps it until the answer is written
    done_.erase(it);
    finish(client, 0);
}

void UsbfsHandler::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const auto address = *reinterpret_cast<gulong*>(arg->data);
    auto it = std::find_if(held_.begin(), held_.end(), [&](const Urb& urb) {
        return urb.client == client && urb.data->client_addr == address;
    });
    if (it == held_.end()) return finish(client, -EINVAL);
    answer(as<usbdevfs_urb>(it->data), -ENOENT);
    done_.splice(done_.end(), held_, it);
    finish(client, 0);
}

void UsbfsHandler::check_unplug() {
    if (!bridge_.unplugged() || unplug_told_) return;
    unplug_told_ = true;
    if (on_unplug_) on_unplug_();
}

} // namespace usbemu
