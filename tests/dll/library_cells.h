// The library's operations that touch the flash, as cells of the fault
// matrix: program flash, load from flash and FlashSerial.
#pragma once

#include "fault_matrix.h"

#include <memory>
#include <vector>

namespace fault_matrix {

std::vector<std::unique_ptr<Operation>> library_operations();
// The backup of the whole flash into kBackupName: a crash cell only, as
// it writes no flash.
std::unique_ptr<Operation> backup_operation();

} // namespace fault_matrix
