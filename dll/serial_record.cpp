#include "serial_record.h"
// Not built yet.
namespace zintra::serial {
int pack_serial(const char*, int32_t) {
    return 0;
}
int get_serial(char*) {
    return 0;
}
int flash_serial() {
    return 0;
}
} // namespace zintra::serial
