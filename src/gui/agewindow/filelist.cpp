#include "gui/agewindow/filelist.h"

#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QUrl>

QStringList NamesIn(const QMimeData& data)
{
    QStringList names;
    if (data.hasUrls()) {
        for (const QUrl& address : data.urls())
            if (address.isLocalFile() && address.host().isEmpty()) names << address.toLocalFile();
        return names;
    }
    for (const QString& line : data.text().split(u'\n', Qt::SkipEmptyParts)) {
        const QString name = line.trimmed();
        if (name.isEmpty()) continue;
        const QUrl address(name);
        if (address.scheme() == QStringLiteral("file")) {
            if (address.host().isEmpty()) names << address.toLocalFile();
        } else {
            names << name;
        }
    }
    return names;
}

FileList::FileList(QWidget* parent) : QListWidget(parent)
{
    setAccessibleName(QStringLiteral("Files"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
}

void FileList::Add(const QStringList& names)
{
    for (const QString& name : names)
        if (findItems(name, Qt::MatchExactly).isEmpty()) addItem(name);
    emit Changed();
}

void FileList::RemoveSelected()
{
    qDeleteAll(selectedItems());
    emit Changed();
}

QStringList FileList::Names() const
{
    QStringList names;
    for (int row = 0; row < count(); ++row) names << item(row)->text();
    return names;
}

std::vector<std::string> FileList::Paths() const
{
    std::vector<std::string> paths;
    for (const QString& name : Names()) paths.push_back(QFile::encodeName(name).toStdString());
    return paths;
}

void FileList::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        if (const QMimeData* copied = QGuiApplication::clipboard()->mimeData()) Add(NamesIn(*copied));
        return;
    }
    if (event->matches(QKeySequence::Delete)) {
        RemoveSelected();
        return;
    }
    QListWidget::keyPressEvent(event);
}

namespace {
// Only the names are taken. A drop accepted as a move would let the source delete its files.
void AcceptAsCopy(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls()) return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
}  // namespace

void FileList::dragEnterEvent(QDragEnterEvent* event)
{
    AcceptAsCopy(event);
}

void FileList::dragMoveEvent(QDragMoveEvent* event)
{
    AcceptAsCopy(event);
}

void FileList::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls()) return;
    AcceptAsCopy(event);
    Add(NamesIn(*event->mimeData()));
}
