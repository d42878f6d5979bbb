#pragma once

// What screen readers learn of the windows, through Qt's accessibility interfaces: the windows
// report the roles of windows (the main window a frame, the others dialogs) instead of plain
// widgets, pictures that only decorate are left out, and labels that open an address are links.

#include <QString>

class QLabel;
class QWidget;

// Installs the interfaces; every window calls it as it is created, the first call counts.
void InstallAccessibility();

// Leaves a picture out of what screen readers see.
void MarkDecorative(QWidget* picture);

// Shows a label as a link; its press action is a click on it.
void MarkLink(QLabel* label, const QString& description);
