#pragma once

// Exceptions must not cross Qt's event loop: every handler of every window runs inside
// Guarded, which turns a raised error into the error box and lets the program go on.

#include <exception>
#include <string>
#include <utility>

#include <QString>

#include "gui/base/dialogs.h"

class QWidget;

// An error's message as the error box shows it.
std::string ErrorBoxText(const std::exception_ptr& error);

// Shows the error box for the exception being handled; call only from a catch block.
void ShowCurrentError(QWidget* window, Dialogs& dialogs);

// A slot that runs handler and reports any error it raises, for connect().
template <class Handler>
auto Guarded(QWidget* window, Dialogs& dialogs, Handler handler)
{
    return [window, &dialogs, handler = std::move(handler)](auto&&...) {
        try {
            handler();
        } catch (...) {
            ShowCurrentError(window, dialogs);
        }
    };
}
