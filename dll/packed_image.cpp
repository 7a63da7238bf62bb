#include "packed_image.h"

#include "atomic_file.h"
#include "config_block.h"
#include "file_handle.h"
#include "host.h"
#include "library_state.h"
#include "os.h"
#include "texts.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace zintra::image {
namespace {

constexpr uint8_t kFillV23 = 0x01;
constexpr uint8_t kFillV4 = 0xFF;
constexpr uint32_t kV4FirstImage = 0x10000;
// The boot code file's first byte is not part of the image.
constexpr std::size_t kBootSkip = 1;
constexpr int kV3BootSlot = 0;
constexpr int kV4OtSlot = 1;
constexpr int kV4RtSlot = 2;

const char* shown(const char* path) {
    return path ? path : "";
}

const char* slot_path(int slot) {
    return state().slots[static_cast<std::size_t>(slot)].data();
}

// The bytes one part file takes in the image.
struct Part {
    const char* name;
    int64_t begin;
    int64_t end;
};

std::span<uint8_t> image() {
    return state().image;
}

// Reads the whole file into the image at `offset`, dropping its first `skip`
// bytes. A part that would reach past the image buffer is refused rather
// than cut, since the packed file would silently lack its tail.
bool read_part(std::FILE* f, const char* name, int64_t offset, std::size_t skip, Part& part) {
    for (std::size_t k = 0; k < skip && std::fgetc(f) != EOF; ++k) {
    }
    if (offset < 0 || offset > static_cast<int64_t>(kImageSize)) {
        host::showf(text::kPartTooLarge, static_cast<unsigned>(kImageSize),
                    static_cast<unsigned>(offset), name);
        return false;
    }
    std::size_t at = static_cast<std::size_t>(offset);
    std::size_t n = std::fread(image().data() + at, 1, kImageSize - at, f);
    if (std::ferror(f)) {
        host::showf(text::kPackOpenFailed, name);
        return false;
    }
    if (std::fgetc(f) != EOF) {
        host::showf(text::kPartTooLarge, static_cast<unsigned>(kImageSize),
                    static_cast<unsigned>(offset), name);
        return false;
    }
    part = {name, offset, offset + static_cast<int64_t>(n)};
    return true;
}

// Two parts laid over each other would leave neither whole; the
// configuration block over a part is intended and not checked here.
bool parts_apart(const std::vector<Part>& parts) {
    for (std::size_t a = 0; a < parts.size(); ++a)
        for (std::size_t b = a + 1; b < parts.size(); ++b) {
            const Part& p = parts[a];
            const Part& q = parts[b];
            if (p.begin < p.end && q.begin < q.end && p.begin < q.end && q.begin < p.end) {
                host::showf(text::kPartsOverlap, p.name, q.name);
                return false;
            }
        }
    return true;
}

int64_t end_of(const std::vector<Part>& parts, int64_t at_least) {
    for (const Part& p : parts)
        at_least = std::max(at_least, p.end);
    return at_least;
}

// A failed write never leaves a half-written file where a packed image is
// expected, nor replaces what the path names when it is not a plain file
// the user may write.
bool write_output(const char* output, std::size_t length) {
    if (output && files::write_file(output, image().first(length)) == files::Outcome::kWritten)
        return true;
    host::showf(text::kWriteFailed, shown(output));
    return false;
}

// A loaded image too short for the block is extended with the fill byte of
// its version, never with leftovers of an earlier image.
std::size_t extend_to(std::size_t length, std::size_t block_end, uint8_t fill) {
    if (length < block_end) std::fill(image().begin() + length, image().begin() + block_end, fill);
    return std::max(length, block_end);
}

bool v3_layout_ok() {
    if (!config::v3_ports_fit()) {
        host::showf(text::kPortBlocksTooLarge, config::v3_stride());
        return false;
    }
    return true;
}

std::size_t v3_block_end() {
    return config::kV3PortOffset + static_cast<std::size_t>(config::v3_port_bytes());
}

void place_v3_block() {
    config::place(config::v3_layout(), image(), 0);
}

int pack_v2(const char* boot, const char* ot, int32_t ot_offset, const char* rt, int32_t rt_offset,
            const char* output) {
    File files[] = {open_regular(boot), open_regular(ot), open_regular(rt)};
    if (!files[0] || !files[1] || !files[2]) {
        host::showf(text::kPackOpenFailedV2, shown(boot), shown(ot), shown(rt));
        return 0;
    }
    LibraryState& s = state();
    std::fill(s.image.begin(), s.image.end(), kFillV23);
    std::vector<Part> parts(3);
    if (!read_part(files[0].get(), boot, 0, kBootSkip, parts[0]) ||
        !read_part(files[1].get(), ot, ot_offset, 0, parts[1]) ||
        !read_part(files[2].get(), rt, rt_offset, 0, parts[2]) || !parts_apart(parts))
        return 0;
    config::place(config::kV2Layout, image(), 0);
    // Ends with the last part or the block, whichever is later, so neither
    // a part nor a configuration byte is cut off.
    auto length = static_cast<std::size_t>(end_of(parts, config::kV2BlockEnd));
    return write_output(output, length) ? 1 : 0;
}

int pack_v3(const char* output) {
    LibraryState& s = state();
    auto exponent =
        static_cast<uint32_t>(config::read_field3(s.tables.header, config::kV3ImageCountField));
    if (exponent > config::kV3MaxImageCountExponent) {
        host::showf(text::kTooManyImages, exponent,
                    static_cast<unsigned>(config::kV3MaxImageCountExponent));
        return 0;
    }
    if (!v3_layout_ok()) return 0;
    int count = 1 << exponent;
    std::vector<File> files;
    for (int slot = kV3BootSlot; slot <= count; ++slot) {
        files.push_back(open_regular(slot_path(slot)));
        if (!files.back()) {
            host::showf(text::kPackOpenFailed, slot_path(slot));
            return 0;
        }
    }

    // Header fields get the image offsets as they are laid out; a refused
    // pack puts the header back as it was.
    const auto header = s.tables.header;
    std::fill(s.image.begin(), s.image.end(), kFillV23);
    std::vector<Part> parts(files.size());
    bool ok = read_part(files[0].get(), slot_path(kV3BootSlot), 0, kBootSkip, parts[0]);
    int64_t offset = config::read_field3(s.tables.header, config::kV3FirstOffsetField);
    for (int i = 1; ok && i <= count; ++i) {
        ok = read_part(files[i].get(), slot_path(i), offset, 0, parts[i]);
        if (ok) {
            config::write_field3(s.tables.header, config::kV3FirstOffsetField + i - 1,
                                 static_cast<uint32_t>(offset));
            offset = parts[i].end;
        }
    }
    if (!ok || !parts_apart(parts)) {
        s.tables.header = header;
        return 0;
    }
    place_v3_block();
    auto length = static_cast<std::size_t>(end_of(parts, static_cast<int64_t>(v3_block_end())));
    return write_output(output, length) ? 1 : 0;
}

int repack_v3(const char* output) {
    if (state().image_length <= 0) {
        host::show(text::kNothingToRepack);
        return 0;
    }
    if (!v3_layout_ok()) return 0;
    std::size_t length =
        extend_to(static_cast<std::size_t>(state().image_length), v3_block_end(), kFillV23);
    place_v3_block();
    return write_output(output, length) ? 1 : 0;
}

// The end of the RT image, or 0 when a part was refused (said why). The
// buffer's loaded image is gone from the first part read on.
std::size_t read_v4_parts() {
    File ot = open_regular(slot_path(kV4OtSlot));
    File rt = open_regular(slot_path(kV4RtSlot));
    if (!ot || !rt) {
        host::showf(text::kPackOpenFailed, slot_path(ot ? kV4RtSlot : kV4OtSlot));
        return 0;
    }
    LibraryState& s = state();
    s.image_length = 0;
    std::fill(s.image.begin(), s.image.end(), kFillV4);
    Part ot_part{}, rt_part{};
    if (!read_part(ot.get(), slot_path(kV4OtSlot), kV4FirstImage, 0, ot_part) ||
        !read_part(rt.get(), slot_path(kV4RtSlot), ot_part.end, 0, rt_part))
        return 0;
    config::write_sized(s.tables.header, config::kV4OtLengthByte, 4,
                        static_cast<uint32_t>(ot_part.end - ot_part.begin));
    config::write_sized(s.tables.header, config::kV4RtLengthByte, 4,
                        static_cast<uint32_t>(rt_part.end - rt_part.begin));
    return static_cast<std::size_t>(rt_part.end);
}

int pack_v4(const char* output, bool repack) {
    LibraryState& s = state();
    if (repack && s.image_length <= 0) {
        host::show(text::kNothingToRepack);
        return 0;
    }
    std::size_t parts_end = repack ? static_cast<std::size_t>(s.image_length) : read_v4_parts();
    if (parts_end == 0) return 0;
    std::size_t length = extend_to(parts_end, config::kV4BlockSize, kFillV4);
    s.tables.header[0] = 0xFF;
    config::place(config::kV4Layout, image(), 0);
    // The image and its companion are replaced together: both are written
    // and synced before either is renamed.
    int n = std::snprintf(nullptr, 0, text::kCompanionSuffix, output);
    std::string companion(static_cast<std::size_t>(n), '\0');
    std::snprintf(companion.data(), companion.size() + 1, text::kCompanionSuffix, output);
    files::AtomicFile image_file(output), companion_file(companion);
    bool ok = image_file.status() == files::Outcome::kWritten &&
              companion_file.status() == files::Outcome::kWritten &&
              image_file.write(image().first(length)) &&
              companion_file.write(image().first(config::kV4BlockSize)) && image_file.sync() &&
              companion_file.sync() && image_file.commit() && companion_file.commit();
    if (!ok) {
        host::showf(text::kWriteFailed, output);
        return 0;
    }
    // From here on the buffer counts as the block alone, as the companion
    // file holds it.
    s.image_length = static_cast<int32_t>(config::kV4BlockSize);
    return 1;
}

} // namespace

int pack_flash(const char* boot_path, const char* ot_path, int32_t ot_offset, const char* rt_path,
               int32_t rt_offset, const char* output_path, int32_t repack) {
    switch (state().system_version) {
    case 2:
        return pack_v2(boot_path, ot_path, ot_offset, rt_path, rt_offset, output_path);
    case 3:
        return repack ? repack_v3(output_path) : pack_v3(output_path);
    case 4:
        if (!output_path) {
            host::showf(text::kWriteFailed, "");
            return 0;
        }
        return pack_v4(output_path, repack != 0);
    default:
        return state().system_version <= 1 ? 0 : 1;
    }
}

} // namespace zintra::image
