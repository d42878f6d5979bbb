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

std::vector<QString> FakeDialogs::OpenFiles(QWidget* parent, const FileDialogRequest& request)
{
    std::vector<QString> files;
    while (const auto answer = NextFileAnswer(parent, request)) files.push_back(*answer);
    return files;
}

std::optional<QString> FakeDialogs::ChooseFolder(QWidget* parent, const QString& lastFolder)
{
    return NextFileAnswer(parent, {{}, lastFolder, {}});
}

namespace {
template <class T>
std::optional<T> Next(std::deque<T>& answers)
{
    if (answers.empty()) return std::nullopt;
    T answer = answers.front();
    answers.pop_front();
    return answer;
}
}  // namespace

bool FakeDialogs::Confirm(QWidget* parent, const QString& text)
{
    lastParent = parent;
    questions.push_back(text);
    return Next(confirmAnswers).value_or(false);
}

std::optional<QString> FakeDialogs::AskPassphrase(QWidget* parent, const QString& text)
{
    lastParent = parent;
    questions.push_back(text);
    return Next(passphraseAnswers);
}

bool FakeDialogs::ErrorOffering(QWidget* parent, const QString& text, const QString& action,
                                const QString& description)
{
    lastParent = parent;
    lastDescription = description;
    errors.push_back(text);
    offers.push_back(action);
    return Next(offerAnswers).value_or(false);
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
