#pragma once
#include <cstdint>
#include <span>

namespace veska::driver {

/// Statuses of an image lookup, as the image load reports them.
enum ImageStatus : int32_t {
    kImageOk = 0,
    kImageLockFailed = 22,  ///< the image's bytes could not be had
    kImageNotFound = 23,    ///< no image of that id and type
    kImageLoadFailed = 24,  ///< the image is there but unusable (header and size disagree)
};

/// The type name the configuration images are filed under.
inline constexpr char kImageType[] = "AlteraPLDData";

/// Where the image load finds its configuration images. The library's own source is the
/// images embedded at build time; tests give their own.
class ImageSource {
  public:
    virtual ~ImageSource() = default;
    /// Finds the image of the id and type. On kImageOk, bytes views it (header included)
    /// for as long as the source lives.
    virtual ImageStatus Find(uint32_t id, const char* type, std::span<const uint8_t>& bytes) = 0;
};

/// One image as the build embeds it.
struct EmbeddedImage {
    uint32_t id;
    const uint8_t* data;
    uint32_t size;
};

/// The images embedded in the library (generated at build time; see driver/README.md).
std::span<const EmbeddedImage> EmbeddedImageTable();

/// An ImageSource over a table of embedded images. An image is usable when it holds its
/// 8-byte header and the bits its bit count announces.
class EmbeddedImages final : public ImageSource {
  public:
    explicit EmbeddedImages(std::span<const EmbeddedImage> table = EmbeddedImageTable())
        : table_(table) {}
    ImageStatus Find(uint32_t id, const char* type, std::span<const uint8_t>& bytes) override;

  private:
    std::span<const EmbeddedImage> table_;
};

}  // namespace veska::driver
