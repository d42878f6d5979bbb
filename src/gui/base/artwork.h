#pragma once

// The program's pictures, drawn when the windows are created. Sizes are in logical pixels; a
// scale (the screen's device pixel ratio) other than 1 draws every detail, the lettering
// included, at that many device pixels per logical one, so that the pictures are as sharp as
// the text. At scale 1 the pictures are exactly the classic ones.

#include <QIcon>
#include <QPixmap>
#include <QString>

// 425 x 425: a blue perspective grid fading into a black sky, with the title banner on top.
QPixmap MainBackground(qreal scale = 1);

// 397 x 283: dark blue swirls with the title lettered in red capitals in a 40-pixel band
// from titleTop: the centre for the file windows, lower for the text windows, whose
// keycode and phrase boxes take the centre.
inline constexpr int kCentreTitleTop = 120;
inline constexpr int kLowerTitleTop = 156;
QPixmap SwirlBackground(const QString& title, int titleTop = kCentreTitleTop, qreal scale = 1);

// A word lettered in red on black, for the small pictures of Help and About (85 x 57).
QPixmap Lettering(const QString& word, QSize size, qreal scale = 1);

// 227 x 57: the program's name as a red logo on black.
QPixmap Logo(qreal scale = 1);

// The open-folder glyph of the browse buttons (18 x 16), with its greyed form for the disabled
// state, drawn at the size and scale it is shown at.
QIcon FolderIcon();

// The 32 x 32 icon of the program and all its windows, in a handful of flat colours.
QIcon ProgramIcon();
