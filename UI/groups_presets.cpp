// Configuration groups: showing and storing a group, the highlighted field,
// quick settings and profile sets.
#include "flash_form.h"

namespace plexmoor {} // namespace plexmoor
