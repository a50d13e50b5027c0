// The window's own pictures (Img16): one flat, outlined 16 x 16 set drawn here, so they look alike
// on every desktop and theme.
#pragma once

#include <QIcon>
#include <QPixmap>

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
// The program's own icon (window, notification area, About box).
QIcon programIcon();
// The help button's picture with its drop-down arrow beside it.
QIcon helpMenuIcon();
