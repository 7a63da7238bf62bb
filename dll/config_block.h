// The configuration tables: field encodings per system version, GetConf and
// the two loaders.
#pragma once

#include <cstdint>

namespace zintra::config {

void header_reset();
// What open programmer clears (table 4 is kept).
void clear_on_open();
int set_system_version(int32_t version);
int set_port_field(int32_t index, int32_t value, int32_t width);
int set_header_field(int32_t index, int32_t value, int32_t width);
int set_group_field(int32_t index, int32_t value, int32_t width);
// Tables 3-7, system version 4 only.
int set_extra_field(int table, int32_t index, int32_t value, int32_t width);
int32_t get_conf(int32_t table, int32_t index, int32_t width);
int load_from_flash();
int load_from_file(const char* path, int32_t mode);

} // namespace zintra::config
