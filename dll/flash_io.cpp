#include "flash_io.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace zintra::flash {

spi::Result read_page(uint32_t address, Page& page) {
    page.fill(0);
    return spi::transaction(spi::kRead, address, kPageSize, page.data());
}

std::optional<uint32_t> read_pages(uint32_t address, std::span<uint8_t> out) {
    Page page;
    for (std::size_t done = 0; done < out.size(); done += kPageSize) {
        uint32_t at = address + static_cast<uint32_t>(done);
        if (read_page(at, page) != spi::Result::kDone) return at;
        std::size_t n = std::min<std::size_t>(kPageSize, out.size() - done);
        std::memcpy(out.data() + done, page.data(), n);
    }
    return std::nullopt;
}

Reading read_pages_twice(uint32_t address, std::span<uint8_t> out) {
    using Outcome = Reading::Outcome;
    if (std::optional<uint32_t> lost = read_pages(address, out)) return {Outcome::kFailed, *lost};
    Page page;
    for (std::size_t done = 0; done < out.size(); done += kPageSize) {
        uint32_t at = address + static_cast<uint32_t>(done);
        if (read_page(at, page) != spi::Result::kDone) return {Outcome::kFailed, at};
        std::size_t n = std::min<std::size_t>(kPageSize, out.size() - done);
        auto first = out.begin() + static_cast<std::ptrdiff_t>(done);
        auto [mine, again] =
            std::mismatch(first, first + static_cast<std::ptrdiff_t>(n), page.begin());
        if (mine != first + static_cast<std::ptrdiff_t>(n))
            return {Outcome::kDiffer, at + static_cast<uint32_t>(mine - first)};
    }
    return {};
}

bool read_burst(uint32_t address, std::span<uint8_t> out) {
    spi::Step step{spi::kRead, address, static_cast<uint32_t>(out.size()), out.data()};
    return spi::burst({&step, 1}) == spi::Result::kDone;
}

void write_page(uint32_t address, uint8_t* data) {
    static_cast<void>(spi::transaction(spi::kWriteEnable, 0, 0, nullptr));
    static_cast<void>(spi::transaction(spi::kPageProgram, address, kPageSize, data));
}

} // namespace zintra::flash
