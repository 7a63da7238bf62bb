// Packing an image from the window: from source images and from a released
// image whose configuration block is replaced.
#include "flash_form.h"

namespace plexmoor {} // namespace plexmoor
