// An image read once, whole, before a run: the bytes the record's digest
// is taken of are the bytes the library programs, whatever happens to the
// file meanwhile (another tool rewriting it, a copy still being made).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace plexmoor::ops {

// No flash this programmer writes holds more (three address bytes).
inline constexpr uint64_t kLargestImage = 16u << 20;

class ImageCopy {
  public:
    // The file read whole into a private copy; nothing, with the reason in
    // why, when it is no plain file, larger than any flash, or it could not
    // be read whole.
    static std::optional<ImageCopy> Take(const std::string& path, std::string& why);
    // Bytes made here (an erased chip's) kept as such a copy.
    static std::optional<ImageCopy> Of(std::string bytes, std::string& why);
    ImageCopy(ImageCopy&& other) noexcept;
    ImageCopy& operator=(ImageCopy&& other) noexcept;
    ImageCopy(const ImageCopy&) = delete;
    ~ImageCopy();

    const std::string& bytes() const { return bytes_; }
    // The copy the library is given to program.
    const std::string& path() const { return copy_; }

  private:
    ImageCopy() = default;
    void remove();
    std::string bytes_;
    std::string folder_;
    std::string copy_;
};

} // namespace plexmoor::ops
