#include "shell/guard.h"

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
    return message;
}

void ShowCurrentError(QWidget* window, Dialogs& dialogs)
{
    QString message;
    try {
        throw;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    dialogs.Error(window, ErrorBoxText(message));
}
