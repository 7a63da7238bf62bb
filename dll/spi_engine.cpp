#include "spi_engine.h"
// Not built yet.
namespace zintra::spi {
int open_sequence() {
    return 0;
}
void close_device() {}
int transaction(uint8_t, uint32_t, uint32_t, uint8_t*) {
    return 0;
}
void pump_messages() {}
} // namespace zintra::spi
