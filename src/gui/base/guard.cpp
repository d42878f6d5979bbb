#include "gui/base/guard.h"

#include <string>

#include "common/error.h"

void ShowCurrentError(QWidget* window, Dialogs& dialogs)
{
    std::string message;
    try {
        throw;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    dialogs.Error(window, QString::fromUtf8(WithFullStop(message)));
}
