#include "gui/base/filedrop.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>

#include "common/error.h"
#include "gui/base/guard.h"

namespace {
// Watches the target (and a text box's viewport, which receives the drops of a text box) and
// takes over every drop that carries addresses.
class FileDropFilter final : public QObject {
public:
    FileDropFilter(QWidget* target, QWidget* window, Dialogs& dialogs, std::function<void(const QString&)> take)
        : QObject(target), window_(window), dialogs_(dialogs), take_(std::move(take))
    {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
        if (auto* scrollArea = qobject_cast<QAbstractScrollArea*>(target))
            scrollArea->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const auto type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls()) return false;
        // A drag that names no single local file is refused while it hovers: the source keeps
        // the action of the last accepted move, whatever the drop itself answers.
        if (type != QEvent::Drop && !NamesOneLocalFile(drop->mimeData()->urls())) {
            drop->setDropAction(Qt::IgnoreAction);
            drop->ignore();
            return true;
        }
        // Only the name is taken. A drop accepted as a move would let the source delete its file.
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (type == QEvent::Drop) {
            const QList<QUrl> addresses = drop->mimeData()->urls();
            bool taken = false;
            Guarded(window_, dialogs_, [this, &addresses, &taken] {
                take_(DroppedFileName(addresses));
                taken = true;
            })();
            // The source learns that nothing was taken.
            if (!taken) {
                drop->setDropAction(Qt::IgnoreAction);
                drop->ignore();
            }
        }
        return true;
    }

private:
    static bool NamesOneLocalFile(const QList<QUrl>& addresses)
    {
        try {
            DroppedFileName(addresses);
            return true;
        } catch (const ZorvantaError&) {
            return false;
        }
    }

    QWidget* window_;
    Dialogs& dialogs_;
    std::function<void(const QString&)> take_;
};
}  // namespace

QString DroppedFileName(const QList<QUrl>& addresses)
{
    if (addresses.size() != 1) throw ZorvantaError("Only one file can be dropped here");
    const QUrl& address = addresses.front();
    // A file:// address with a host names a file on that host, which toLocalFile() would turn
    // into a local-looking "//host/path".
    if (!address.isLocalFile() || !address.host().isEmpty())
        throw ZorvantaError("Only local files can be dropped here");
    return address.toLocalFile();
}

void AcceptFileDrops(QWidget* target, QWidget* window, Dialogs& dialogs, std::function<void(const QString&)> take)
{
    new FileDropFilter(target, window, dialogs, std::move(take));
}
