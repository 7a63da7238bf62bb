#include "host_link.h"

#include "ansi_text.h"
#include "wincalls.h"

namespace plexmoor {

HostLink::HostLink(Services& services) : services_(services) {
    // The library's boxes carry their own caption, which is the window's
    // application title as well, so only the text is passed on. A file name
    // in it comes as the file system spells it.
    WinAttachMessageBox(
        [](void* self, const char* text, const char*, unsigned) {
            static_cast<HostLink*>(self)->services_.messageBox(FromFileText(text ? text : ""));
            return IDOK;
        },
        this);
    WinAttachEventPump([](void* self) { static_cast<HostLink*>(self)->services_.processEvents(); },
                       this);
}

HostLink::~HostLink() {
    WinAttachMessageBox(nullptr, nullptr);
    WinAttachEventPump(nullptr, nullptr);
}

} // namespace plexmoor
