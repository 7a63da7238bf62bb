// Whether a file is a packed flash image the library can parse back, told
// before a board is opened: a configuration file or random bytes given by
// mistake would otherwise become the board's boot area.
#pragma once

#include <string>
#include <string_view>

namespace plexmoor::ops {

// Empty for a packed image (system version 2 or 3 with its configuration
// header at 00010000, or version 4 with its block at the front and the two
// images it names); otherwise what the bytes are instead, for a message.
std::string WhatIsNotPacked(std::string_view bytes);

} // namespace plexmoor::ops
