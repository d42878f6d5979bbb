#pragma once

// Files dragged from a file manager arrive as a list of addresses (text/uri-list). The program
// takes one local file at a time; a window decides only what to do with its name.

#include <functional>

#include <QList>
#include <QString>
#include <QUrl>

#include "gui/base/dialogs.h"

class QWidget;

// The local name of the one file a drop names. Raises a ZorvantaError for a drop of several
// addresses ("Only one file can be dropped here") and for an address that is not a file on
// this machine ("Only local files can be dropped here"), a file:// address naming a host included.
QString DroppedFileName(const QList<QUrl>& addresses);

// Lets target take dropped files: take gets the file's name, and a refused drop, or an error
// take raises, shows the error box of window and is reported to the source as not taken.
// Dropped text still goes to the target as before.
void AcceptFileDrops(QWidget* target, QWidget* window, Dialogs& dialogs,
                     std::function<void(const QString&)> take);
