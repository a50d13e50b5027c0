// The settings window's picture list: its indexes over the program's one picture set.
#pragma once

#include <QIcon>

// Indexes of the picture list shared by the settings window and the extension dialog.
enum TSettingsPicture : int {
    picGeneral = 0,
    picDrive = 1,
    picFilters = 2,
    picAbout = 3,
    picAdd = 4,
    picRemove = 5,
    picAddLocked = 6,
    picRemoveLocked = 7,
    picSave = 8,
    picFolders = 9,
    picEvents = 10,
    picEventOn = 11,
    picEventOff = 12,
};
inline constexpr int kSettingsPictureCount = 13;

// The picture of an index; the same QIcon (same cacheKey) every time. Out of range: a null icon.
QIcon settingsPicture(int index);
// The small red dot shown beside the notices while recording.
QIcon recordingPicture();
