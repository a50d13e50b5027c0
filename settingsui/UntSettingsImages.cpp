#include "settingsui/UntSettingsImages.h"

#include "widgets/UntPictures.h"

#include <array>

namespace {

constexpr std::array<TPictureShape, kSettingsPictureCount> kShapes = {
    TPictureShape::gear,       TPictureShape::drive,   TPictureShape::filterAdd, TPictureShape::info,
    TPictureShape::add,        TPictureShape::remove,  TPictureShape::addLocked, TPictureShape::removeLocked,
    TPictureShape::floppy,     TPictureShape::folders, TPictureShape::bars,      TPictureShape::tick,
    TPictureShape::smallCross,
};

// Drawn once: callers compare icons by cacheKey.
const std::array<QIcon, kSettingsPictureCount>& pictures()
{
    static const std::array<QIcon, kSettingsPictureCount> list = [] {
        std::array<QIcon, kSettingsPictureCount> icons;
        for (std::size_t i = 0; i < icons.size(); ++i)
            icons[i] = pictureIcon(kShapes[i]);
        return icons;
    }();
    return list;
}

} // namespace

QIcon settingsPicture(int index)
{
    if (index < 0 || index >= kSettingsPictureCount)
        return {};
    return pictures()[static_cast<std::size_t>(index)];
}

QIcon recordingPicture()
{
    static const QIcon dot = pictureIcon(TPictureShape::record);
    return dot;
}
