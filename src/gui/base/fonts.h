#pragma once

#include <QFont>

// Registers MS Sans Serif from the Wine fonts when they are installed; call once after the
// application object exists. Without it the fonts below fall back to a metric stand-in.
void LoadFonts();

// MS Sans Serif, 8 point (11 pixels): the default font of the windows.
QFont SansSerif8();
// Arial, 13 pixels (Liberation Sans has Arial's metrics).
QFont Arial13();
