// The window's operations that touch the flash, as cells of the fault
// matrix: Flash on the flash panel. Flash Setting joins when it is built.
#pragma once

#include "fault_matrix.h"

#include <memory>
#include <vector>

namespace fault_matrix {

std::vector<std::unique_ptr<Operation>> window_operations();

} // namespace fault_matrix
