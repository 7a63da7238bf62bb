// Serial numbers: generating the next one and writing the configuration
// block with it straight to the board.
#include "flash_form.h"

namespace plexmoor {} // namespace plexmoor
