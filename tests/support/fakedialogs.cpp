#include "support/fakedialogs.h"

void FakeDialogs::Information(QWidget* parent, const QString& text, const QString& description)
{
    lastParent = parent;
    lastDescription = description;
    informations.push_back(text);
}

void FakeDialogs::Error(QWidget* parent, const QString& text, const QString& description)
{
    lastParent = parent;
    lastDescription = description;
    errors.push_back(text);
}

bool FakeDialogs::Question(QWidget* parent, const QString& text)
{
    lastParent = parent;
    questions.push_back(text);
    if (questionAnswers.empty()) return true;
    const bool yes = questionAnswers.front();
    questionAnswers.pop_front();
    return yes;
}

std::optional<QString> FakeDialogs::OpenFile(QWidget* parent, const FileDialogRequest& request)
{
    return NextFileAnswer(parent, request);
}

std::optional<QString> FakeDialogs::SaveFile(QWidget* parent, const FileDialogRequest& request)
{
    return NextFileAnswer(parent, request);
}

void FakeDialogs::OpenAddress(QWidget* parent, const QString& verb, const QString& address, ShowMode show)
{
    lastParent = parent;
    shellRequests.push_back({verb, address, show});
}

std::optional<QString> FakeDialogs::NextFileAnswer(QWidget* parent, const FileDialogRequest& request)
{
    lastParent = parent;
    fileRequests.push_back(request);
    if (fileAnswers.empty()) return std::nullopt;
    const QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (answer.isNull()) return std::nullopt;
    return answer;
}
