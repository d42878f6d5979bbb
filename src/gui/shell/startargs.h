#pragma once

// What the command line asks of the desktop program: zorvanta [--page PAGE] [PATH...]. With
// paths or a page, the age window opens beside the main window, with the paths in its list, at
// the page named or else at Decrypt when every path is an age file and at Encrypt otherwise.
// PAGE is encrypt, recipients (Encrypt, for age keys), decrypt, move or keys.

#include <optional>

#include <QStringList>

class TForm1;

struct StartRequest {
    std::optional<QString> page;
    QStringList paths;
};

// Raises ZorvantaError naming what is wrong (an unknown option or page).
StartRequest ParseStartArguments(const QStringList& arguments);

// Opens the age window as request asks; nothing when it asks for nothing.
void OpenRequested(TForm1& shell, const StartRequest& request);
