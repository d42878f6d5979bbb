#include "gui/base/guard.h"

#include "common/error.h"

std::string ErrorBoxText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return WithFullStop(e.what());
    } catch (...) {
        return "Unknown error.";
    }
}

void ShowCurrentError(QWidget* window, Dialogs& dialogs)
{
    dialogs.Error(window, QString::fromUtf8(ErrorBoxText(std::current_exception())));
}
