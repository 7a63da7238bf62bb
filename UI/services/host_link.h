// Attaches the window to the Windows-calls stand-in the library uses: its
// message boxes become the window's message boxes and its message pump runs
// the window's pending events, so the progress timer ticks and the window
// repaints while the library programs the flash. Detached again on
// destruction.
#pragma once

#include "services.h"

#include <functional>
#include <string>

namespace plexmoor {

class HostLink {
  public:
    // told hears each of the library's messages before it is shown.
    explicit HostLink(Services& services, std::function<void(const std::string&)> told = {});
    ~HostLink();
    HostLink(const HostLink&) = delete;
    HostLink& operator=(const HostLink&) = delete;

  private:
    Services& services_;
    std::function<void(const std::string&)> told_;
};

} // namespace plexmoor
