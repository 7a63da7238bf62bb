#include "library_state.h"

namespace zintra {

std::span<uint8_t> Tables::table(int n) {
    switch (n) {
    case 0:
        return header;
    case 1:
        return group;
    case 2:
        return port;
    case 3:
        return t3;
    case 4:
        return t4;
    case 5:
        return t5;
    case 6:
        return t6;
    case 7:
        return t7;
    default:
        return {};
    }
}

LibraryState& state() {
    static LibraryState s;
    return s;
}

} // namespace zintra
