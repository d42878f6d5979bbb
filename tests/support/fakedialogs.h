#pragma once

// Stands in for the real dialogs: records every box and request, and answers the file
// dialogs from a script, so a test drives a window without any modal loop.

#include <deque>
#include <optional>
#include <vector>

#include "gui/base/dialogs.h"

struct ShellRequest {
    QString verb;
    QString address;
    ShowMode show;
};

class FakeDialogs final : public Dialogs {
public:
    void Information(QWidget* parent, const QString& text, const QString& description = {}) override;
    void Error(QWidget* parent, const QString& text, const QString& description = {}) override;
    bool Question(QWidget* parent, const QString& text) override;
    std::optional<QString> OpenFile(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QString> SaveFile(QWidget* parent, const FileDialogRequest& request) override;
    void OpenAddress(QWidget* parent, const QString& verb, const QString& address, ShowMode show) override;

    // The answers of the next file dialogs, in order; a null string, or none left, means the
    // user cancels.
    std::deque<QString> fileAnswers;
    // The answers of the next questions, in order; none left means Yes, the default button.
    std::deque<bool> questionAnswers;

    std::vector<QString> informations;
    std::vector<QString> errors;
    std::vector<QString> questions;
    QString lastDescription;  // of the last box
    std::vector<FileDialogRequest> fileRequests;
    std::vector<ShellRequest> shellRequests;
    QWidget* lastParent = nullptr;

private:
    std::optional<QString> NextFileAnswer(QWidget* parent, const FileDialogRequest& request);
};

// Lets test failures show texts readably.
#include <ostream>
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
