#pragma once

#include <QFont>

// Registers MS Sans Serif and Tahoma from the Wine fonts when they are installed; call once
// after the application object exists. Without them the fonts below fall back to a metric
// stand-in.
void LoadFonts();

// The windows' default font, 8 point (11 pixels), for a screen of the given device pixel ratio
// and logical DPI. MS Sans Serif holds bitmap strikes only: at 1x and 96 DPI its 11-pixel strike
// gives the exact look, but at any other scale Qt draws its 1x glyphs at scaled advances
// ("E n c r y p t"). There Tahoma, an outline face of close metrics, takes its place, narrowed
// to MS Sans Serif's widths so that every caption fits its label.
QFont SansSerif8(qreal devicePixelRatio, qreal logicalDpi);
// The same for the primary screen.
QFont SansSerif8();
// Arial, 13 pixels (Liberation Sans has Arial's metrics).
QFont Arial13();
