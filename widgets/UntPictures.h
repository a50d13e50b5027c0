// The program's one set of small pictures: one palette and one flat, outlined 16 x 16 style, drawn
// here so the main window and the settings window show the same gear, floppy, signs and folders on
// every desktop and theme. Each window keeps only its own index table over these shapes.
#pragma once

#include <QIcon>

enum class TPictureShape {
    tree,
    list,
    gear,
    help,
    info,
    folder,
    folders,
    document,
    clean,
    resume,
    pause,
    record,
    stop,
    floppy,
    exit,
    like,
    drive,
    filterAdd,
    add,
    remove,
    addLocked,
    removeLocked,
    bars,
    tick,
    smallCross,
};

// One shape at 16 x 16 and 32 x 32 (for scaled screens).
QIcon pictureIcon(TPictureShape shape);
// The program's own icon (window, notification area, About box).
QIcon programIcon();
// The help button's picture with its drop-down arrow beside it.
QIcon helpMenuIcon();
