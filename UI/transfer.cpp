// The transfer of every window value into the library's tables and path
// slots, in the order of the system version.
#include "flash_form.h"

namespace plexmoor {} // namespace plexmoor
