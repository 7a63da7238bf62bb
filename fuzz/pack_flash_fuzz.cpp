// PackFlash in system versions 2, 3 and 4 with parts of any size, offsets
// and header fields. A pack is refused and leaves no output behind, or its
// file has the layout's length with every part where the layout puts it.
#include "harness.h"
#include "zintra.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr int64_t kV2BlockEnd = 0x10400;
constexpr int64_t kV4FirstImage = 0x10000;
constexpr int64_t kV4BlockSize = 0x3640;
constexpr int kV3StrideField = 4, kV3CountField = 2, kV3FirstOffsetField = 6;

// Mapped rather than read: copying images of a megabyte into fresh,
// zeroed buffers was most of a run.
class Image {
  public:
    explicit Image(const fs::path& path) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) return;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_size > 0) {
            size_ = static_cast<std::size_t>(st.st_size);
            void* at = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            data_ = at == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(at);
            if (!data_) size_ = 0;
        }
        ::close(fd);
    }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ~Image() {
        if (data_) ::munmap(const_cast<uint8_t*>(data_), size_);
    }
    std::size_t size() const { return size_; }
    uint8_t operator[](int64_t at) const { return data_[at]; }
    const uint8_t* begin() const { return data_; }
    const uint8_t* end() const { return data_ + size_; }

  private:
    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

struct Part {
    std::string path;
    Bytes bytes;
};

Part make_part(FuzzedDataProvider& in, const std::string& name) {
    Part p{(harness::folder() / name).string(), {}};
    auto size = in.ConsumeIntegralInRange<std::size_t>(0, 3000);
    p.bytes = in.ConsumeBytes<uint8_t>(size);
    p.bytes.resize(size, in.ConsumeIntegral<uint8_t>());
    std::ofstream out(p.path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(p.bytes.data()),
              static_cast<std::streamsize>(p.bytes.size()));
    return p;
}

// Mostly small images, which pack and read back fast; now and then a part
// at the end of the image buffer, where it may not fit.
int32_t offset(FuzzedDataProvider& in) {
    constexpr int32_t kBufferEnd = 0x100000;
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
        return in.ConsumeIntegralInRange<int32_t>(kBufferEnd - 0x1000, kBufferEnd + 16);
    case 1:
    case 2:
        return in.ConsumeIntegralInRange<int32_t>(-16, 0x20000);
    default:
        return in.ConsumeIntegralInRange<int32_t>(0, 0x30) * 0x1000;
    }
}

// `bytes` stand at `at` in `image`, except where the configuration block
// [block, block_end) is laid over them.
void placed(const Image& image, int64_t at, const Bytes& bytes, int64_t skip, int64_t block,
            int64_t block_end) {
    for (int64_t i = skip; i < static_cast<int64_t>(bytes.size()); ++i) {
        int64_t a = at + i - skip;
        if (a >= block && a < block_end) continue;
        FUZZ_CHECK(a < static_cast<int64_t>(image.size()) && image[a] == bytes[i]);
    }
}

int64_t end_of(int64_t at, const Bytes& bytes, int64_t skip = 0) {
    return at + std::max<int64_t>(0, static_cast<int64_t>(bytes.size()) - skip);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    harness::quiet();
    harness::fresh_library();
    FuzzedDataProvider in(data, size);
    const int32_t version = in.ConsumeIntegralInRange<int32_t>(2, 4);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, version, 0, 0);
    const fs::path output = harness::folder() / "out.b";
    fs::remove(output);
    fs::remove(output.string() + "_conf");

    if (version == 2) {
        Part boot = make_part(in, "boot"), ot = make_part(in, "ot"), rt = make_part(in, "rt");
        const int32_t ot_at = offset(in), rt_at = offset(in);
        const int32_t r = PackFlash(boot.path.c_str(), ot.path.c_str(), ot_at, rt.path.c_str(),
                                    rt_at, output.c_str(), 0);
        FUZZ_CHECK(r == 1 || !fs::exists(output));
        if (r != 1) return 0;
        const Image image(output);
        const int64_t length = std::max({end_of(0, boot.bytes, 1), end_of(ot_at, ot.bytes),
                                         end_of(rt_at, rt.bytes), kV2BlockEnd});
        FUZZ_CHECK(static_cast<int64_t>(image.size()) == length);
        placed(image, 0, boot.bytes, 1, 0x10000, kV2BlockEnd);
        placed(image, ot_at, ot.bytes, 0, 0x10000, kV2BlockEnd);
        placed(image, rt_at, rt.bytes, 0, 0x10000, kV2BlockEnd);
    } else if (version == 3) {
        const int32_t count_exponent = in.ConsumeIntegralInRange<int32_t>(0, 4);
        const int32_t stride = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, 3100)
                                                : in.ConsumeIntegral<int32_t>() & 0xFFFFFF;
        const int32_t first = offset(in);
        ZintraAction(ZINTRA_SET_HEADER_FIELD, kV3CountField, count_exponent, 0);
        ZintraAction(ZINTRA_SET_HEADER_FIELD, kV3StrideField, stride, 0);
        ZintraAction(ZINTRA_SET_HEADER_FIELD, kV3FirstOffsetField, first & 0xFFFFFF, 0);
        std::vector<Part> parts;
        for (int slot = 0; slot <= (1 << std::min(count_exponent, 3)); ++slot) {
            parts.push_back(make_part(in, "slot" + std::to_string(slot)));
            ZintraActionStr(ZINTRA_STORE_PATH, slot, parts.back().path.c_str());
        }
        const int32_t r = PackFlash("", "", 0, "", 0, output.c_str(), 0);
        FUZZ_CHECK(r == 1 || !fs::exists(output));
        if (r != 1) return 0;
        FUZZ_CHECK(count_exponent <= 3 && 24 * static_cast<int64_t>(stride) <= 65024);
        const Image image(output);
        const int64_t block_end = 0x10200 + 24 * static_cast<int64_t>(stride);
        int64_t length = std::max(end_of(0, parts[0].bytes, 1), block_end);
        int64_t at = first & 0xFFFFFF;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            placed(image, at, parts[i].bytes, 0, 0x10000, block_end);
            at = end_of(at, parts[i].bytes);
            length = std::max(length, at);
        }
        placed(image, 0, parts[0].bytes, 1, 0x10000, block_end);
        FUZZ_CHECK(static_cast<int64_t>(image.size()) == length);
    } else {
        for (int k = 0; k < in.ConsumeIntegralInRange(0, 6); ++k)
            ZintraAction(ZINTRA_SET_HEADER_FIELD, in.ConsumeIntegralInRange(0, 130),
                         in.ConsumeIntegral<int32_t>(), in.ConsumeIntegralInRange(0, 5));
        Part ot = make_part(in, "ot"), rt = make_part(in, "rt");
        ZintraActionStr(ZINTRA_STORE_PATH, 1, ot.path.c_str());
        ZintraActionStr(ZINTRA_STORE_PATH, 2, rt.path.c_str());
        const int32_t r = PackFlash("", "", 0, "", 0, output.c_str(), 0);
        FUZZ_CHECK(r == 1 || (!fs::exists(output) && !fs::exists(output.string() + "_conf")));
        if (r != 1) return 0;
        const Image image(output);
        const int64_t rt_at = end_of(kV4FirstImage, ot.bytes);
        FUZZ_CHECK(static_cast<int64_t>(image.size()) ==
                   std::max(end_of(rt_at, rt.bytes), kV4BlockSize));
        placed(image, kV4FirstImage, ot.bytes, 0, 0, kV4BlockSize);
        placed(image, rt_at, rt.bytes, 0, 0, kV4BlockSize);
        const Image companion(output.string() + "_conf");
        FUZZ_CHECK(companion.size() == kV4BlockSize);
        FUZZ_CHECK(std::equal(companion.begin(), companion.end(), image.begin()));
    }
    return 0;
}
