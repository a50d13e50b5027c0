#include "app/UntMainImages.h"

#include <array>

namespace {

constexpr std::array<TPictureShape, kPictureCount> kShapes = {
    TPictureShape::tree,     TPictureShape::list,   TPictureShape::gear,  TPictureShape::help,   TPictureShape::folder,
    TPictureShape::clean,    TPictureShape::resume, TPictureShape::pause, TPictureShape::record, TPictureShape::floppy,
    TPictureShape::document, TPictureShape::stop,   TPictureShape::exit,  TPictureShape::info,   TPictureShape::like,
};

} // namespace

QIcon img16(int index)
{
    if (index < 0 || index >= kPictureCount)
        return {};
    return pictureIcon(kShapes[static_cast<std::size_t>(index)]);
}
