#include "image_copy.h"

#include "os.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace plexmoor::ops {
namespace {

constexpr const char* kCopyName = "image.bin";

} // namespace

std::optional<ImageCopy> ImageCopy::Take(const std::string& path, std::string& why) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        why = path + ": not a plain file";
        return std::nullopt;
    }
    const uint64_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        why = path + ": its size cannot be read";
        return std::nullopt;
    }
    if (size > kLargestImage) {
        why = path + " holds " + std::to_string(size) +
              " bytes, more than any flash this programmer writes (16 MiB); nothing was programmed";
        return std::nullopt;
    }
    ImageCopy copy;
    copy.bytes_.resize(static_cast<std::size_t>(size));
    std::ifstream in(path, std::ios::binary);
    in.read(copy.bytes_.data(), static_cast<std::streamsize>(size));
    // A file cut short while it was read is refused, not programmed in part.
    if (!in || static_cast<uint64_t>(in.gcount()) != size || in.peek() != EOF) {
        why = path + ": the file changed while it was read; nothing was programmed";
        return std::nullopt;
    }
    std::optional<ImageCopy> kept = Of(std::move(copy.bytes_), why);
    if (!kept) why = path + ": " + why;
    return kept;
}

std::optional<ImageCopy> ImageCopy::Of(std::string bytes, std::string& why) {
    ImageCopy copy;
    copy.bytes_ = std::move(bytes);
    copy.folder_ = os::make_temp_folder("plexmoor-image-");
    if (copy.folder_.empty()) {
        why = "no private copy of the image could be made in the temporary folder";
        return std::nullopt;
    }
    copy.copy_ = (std::filesystem::path(copy.folder_) / kCopyName).string();
    std::FILE* out = os::create_new_file(copy.copy_);
    bool written =
        out && std::fwrite(copy.bytes_.data(), 1, copy.bytes_.size(), out) == copy.bytes_.size();
    if (out && std::fclose(out) != 0) written = false;
    if (!written) {
        why = "the private copy of the image could not be written in the temporary folder";
        return std::nullopt;
    }
    return copy;
}

ImageCopy::ImageCopy(ImageCopy&& other) noexcept
    : bytes_(std::move(other.bytes_)), folder_(std::move(other.folder_)),
      copy_(std::move(other.copy_)) {
    other.folder_.clear();
    other.copy_.clear();
}

ImageCopy& ImageCopy::operator=(ImageCopy&& other) noexcept {
    if (this == &other) return *this;
    remove();
    bytes_ = std::move(other.bytes_);
    folder_ = std::exchange(other.folder_, {});
    copy_ = std::exchange(other.copy_, {});
    return *this;
}

ImageCopy::~ImageCopy() {
    remove();
}

void ImageCopy::remove() {
    if (folder_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    folder_.clear();
}

} // namespace plexmoor::ops
