#include "gui/shell/startargs.h"

#include <QFile>

#include "common/error.h"
#include "formats/eitherformat.h"
#include "gui/shell/starter.h"

namespace {
const QStringList kPages = {QStringLiteral("encrypt"), QStringLiteral("recipients"), QStringLiteral("decrypt"),
                            QStringLiteral("move"), QStringLiteral("keys")};

bool AllAgeFiles(const QStringList& paths)
{
    return std::all_of(paths.begin(), paths.end(),
                       [](const QString& path) { return IsAgeFile(QFile::encodeName(path).toStdString()); });
}
}  // namespace

StartRequest ParseStartArguments(const QStringList& arguments)
{
    StartRequest request;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (options && argument == QStringLiteral("--")) {
            options = false;
        } else if (options && (argument == QStringLiteral("--page") || argument.startsWith(QStringLiteral("--page=")))) {
            const QString page = argument.contains(u'=') ? argument.section(u'=', 1)
                                 : i + 1 < arguments.size() ? arguments[++i]
                                                            : QString();
            if (!kPages.contains(page))
                throw ZorvantaError("--page takes one of " + kPages.join(QStringLiteral(", ")).toStdString());
            request.page = page;
        } else if (options && argument.startsWith(u'-') && argument.size() > 1) {
            throw ZorvantaError("unknown option " + argument.toStdString() + "; usage: zorvanta [--page PAGE] [PATH...]");
        } else {
            request.paths << argument;
        }
    }
    return request;
}

void OpenRequested(TForm1& shell, const StartRequest& request)
{
    if (!request.page && request.paths.isEmpty()) return;
    AgeWindow& window = shell.Age();
    const QString page = request.page.value_or(AllAgeFiles(request.paths) ? QStringLiteral("decrypt")
                                                                          : QStringLiteral("encrypt"));
    const AgePage pages[] = {AgePage::Encrypt, AgePage::Encrypt, AgePage::Decrypt, AgePage::Move, AgePage::Keys};
    window.Open(pages[kPages.indexOf(page)], request.paths);
    if (page == QStringLiteral("recipients")) window.EncRecipientsChoice->setChecked(true);
}
