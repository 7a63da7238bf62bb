#include "config_block.h"
// Not built yet.
namespace zintra::config {
void header_reset() {}
void clear_on_open() {}
int set_system_version(int32_t) {
    return 0;
}
int set_port_field(int32_t, int32_t, int32_t) {
    return 0;
}
int set_header_field(int32_t, int32_t, int32_t) {
    return 0;
}
int set_group_field(int32_t, int32_t, int32_t) {
    return 0;
}
int set_extra_field(int, int32_t, int32_t, int32_t) {
    return 0;
}
int32_t get_conf(int32_t, int32_t, int32_t) {
    return 0;
}
int load_from_flash() {
    return 1;
}
int load_from_file(const char*, int32_t) {
    return 0;
}
} // namespace zintra::config
