// The lookup tables built from the configuration field table.
#include "flash_form.h"

namespace plexmoor {

void FlashForm::FieldDef() {}

} // namespace plexmoor
