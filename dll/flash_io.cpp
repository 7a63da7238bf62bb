#include "flash_io.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace zintra::flash {

spi::Result read_page(uint32_t address, Page& page) {
    page.fill(0);
    return spi::transaction(spi::kRead, address, kPageSize, page.data());
}

bool read_pages(uint32_t address, std::span<uint8_t> out, OnFailedRead policy) {
    bool all_arrived = true;
    Page page;
    for (std::size_t done = 0; done < out.size(); done += kPageSize) {
        if (read_page(address + static_cast<uint32_t>(done), page) != spi::Result::kDone) {
            all_arrived = false;
            if (policy == OnFailedRead::kStop) break;
        }
        std::size_t n = std::min<std::size_t>(kPageSize, out.size() - done);
        std::memcpy(out.data() + done, page.data(), n);
    }
    return all_arrived;
}

void write_page(uint32_t address, uint8_t* data) {
    static_cast<void>(spi::transaction(spi::kWriteEnable, 0, 0, nullptr));
    static_cast<void>(spi::transaction(spi::kPageProgram, address, kPageSize, data));
}

} // namespace zintra::flash
