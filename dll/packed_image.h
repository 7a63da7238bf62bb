// The packed flash image of system versions 2, 3 and 4.
#pragma once

#include <cstdint>

namespace zintra::image {

int pack_flash(const char* boot_path, const char* ot_path, int32_t ot_offset, const char* rt_path,
               int32_t rt_offset, const char* output_path, int32_t repack);

} // namespace zintra::image
