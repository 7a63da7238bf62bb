#include "host_link.h"

#include "ansi_text.h"
#include "wincalls.h"

namespace plexmoor {

HostLink::HostLink(Services& services, std::function<void(const std::string&)> told)
    : services_(services), told_(std::move(told)) {
    // The library's boxes carry their own caption, which is the window's
    // application title as well, so only the text is passed on. A file name
    // in it comes as the file system spells it.
    WinAttachMessageBox(
        [](void* self, const char* text, const char*, unsigned) {
            auto* link = static_cast<HostLink*>(self);
            const std::string shown = FromFileText(text ? text : "");
            if (link->told_) link->told_(shown);
            link->services_.messageBox(shown);
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
