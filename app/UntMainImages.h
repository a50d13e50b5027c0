// The main window's picture list (Img16): its indexes over the program's one picture set.
#pragma once

#include "widgets/UntPictures.h"

#include <QIcon>

enum TPicture {
    picTree = 0,
    picList = 1,
    picSettings = 2,
    picHelp = 3,
    picFolder = 4,
    picClean = 5,
    picResume = 6,
    picPause = 7,
    picRecord = 8,
    picSave = 9,
    picDocument = 10,
    picStop = 11,
    picExit = 12,
    picAbout = 13,
    picLike = 14,
};
inline constexpr int kPictureCount = 15;

// One picture at 16 x 16 and 32 x 32 (for scaled screens); an out-of-range index gives a null icon.
QIcon img16(int index);
