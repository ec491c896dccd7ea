#include "driver/Images.h"

#include <cstring>

#include "driver/BoardProtocol.h"

namespace veska::driver {

ImageStatus EmbeddedImages::Find(uint32_t id, const char* type, std::span<const uint8_t>& bytes) {
    bytes = {};
    if (type == nullptr || std::strcmp(type, kImageType) != 0) return kImageNotFound;
    for (const EmbeddedImage& image : table_) {
        if (image.id != id) continue;
        if (image.data == nullptr) return kImageLockFailed;
        const std::span<const uint8_t> whole(image.data, image.size);
        const uint64_t bits = ImageBitCount(whole);
        if (whole.size() < kImageHeaderSize || bits == 0 ||
            (bits + 7) / 8 > whole.size() - kImageHeaderSize) {
            return kImageLoadFailed;
        }
        bytes = whole;
        return kImageOk;
    }
    return kImageNotFound;
}

}  // namespace veska::driver
