#include "packed_image.h"
// Not built yet.
namespace zintra::image {
int pack_flash(const char*, const char*, int32_t, const char*, int32_t, const char*, int32_t) {
    return 0;
}
} // namespace zintra::image
