// Reading a configuration back from the board's flash or a packed file.
#include "flash_form.h"

namespace plexmoor {} // namespace plexmoor
