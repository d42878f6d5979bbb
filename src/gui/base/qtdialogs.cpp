#include <QApplication>
#include <QElapsedTimer>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QUrl>

#include "gui/base/dialogs.h"

namespace {
// Keys reach a box only this long after it appears: a key meant for the window the user was
// typing in must not press the box's button.
constexpr int kKeyGuardMs = 500;

// Room a window manager's title bar takes beside the caption: the icon and the buttons.
constexpr int kTitleBarButtonsWidth = 120;

// A modal box (one OK button unless told otherwise), centred over its parent's window (on the screen when that is
// hidden), and wide enough for its caption in the title bar.
class CentredMessageBox : public QMessageBox {
public:
    CentredMessageBox(Icon icon, const QString& caption, const QString& text, QWidget* parent,
                      const QString& description, StandardButtons buttons = QMessageBox::Ok)
        : QMessageBox(icon, caption, text, buttons, parent)
    {
        setAccessibleDescription(description);
        // QMessageBox sizes itself to its layout, whatever its minimum width says.
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            QFont titleFont = font();
            titleFont.setBold(true);
            const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(caption) + kTitleBarButtonsWidth;
            grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                          0, 1, grid->columnCount());
        }
        QApplication::instance()->installEventFilter(this);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        shown_.start();
        const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        const QRect over = owner && owner->isVisible() ? owner->frameGeometry()
                                                       : QGuiApplication::primaryScreen()->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(over.center());
        move(std::max(frame.left(), 0), std::max(frame.top(), 0));
    }

    // Every key bound for the box or its button, shortcuts included, while the guard lasts.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const auto type = event->type();
        const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride ||
                         type == QEvent::Shortcut;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!key || !widget || widget->window() != this) return false;
        return !shown_.isValid() || shown_.elapsed() < kKeyGuardMs;
    }

private:
    QElapsedTimer shown_;
};

// Windows reads the pattern "*.*" as every file, also one without a dot; Qt would demand the
// dot. The dialog matches with the patterns appended here and shows the text without them.
QString MatchingFilter(const QString& shown)
{
    const qsizetype open = shown.lastIndexOf(u'(');
    if (open < 0 || !shown.endsWith(u')')) return shown;
    QStringList patterns = shown.mid(open + 1).chopped(1).split(u' ', Qt::SkipEmptyParts);
    patterns.replaceInStrings(QRegularExpression(QStringLiteral("^\\*\\.\\*$")), QStringLiteral("*"));
    return shown + " (" + patterns.join(u' ') + ")";
}

// name with the ending of the filter it was chosen under, when that filter has a single
// pattern *.EXT and name does not end in .EXT already.
QString WithFilterSuffix(const QString& name, const QString& filter)
{
    static const QRegularExpression onePattern(QStringLiteral("\\(\\*(\\.[^*?\\[ ]+)\\)$"));
    const QRegularExpressionMatch match = onePattern.match(filter);
    if (!match.hasMatch() || name.endsWith(match.captured(1), Qt::CaseInsensitive)) return name;
    return name + match.captured(1);
}

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogRequest& request,
                                     QFileDialog::AcceptMode mode)
{
    // Qt's own dialog behaves the same on every desktop; AnyFile lets the open dialog take a
    // name that does not exist yet.
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(mode);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters = request.filter.split(QStringLiteral(";;"));
    for (QString& filter : filters) filter = MatchingFilter(filter);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.lastName.isEmpty()) dialog.selectFile(request.lastName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().front();
    if (!request.filterAddsSuffix) return chosen;
    return WithFilterSuffix(chosen, dialog.selectedNameFilter());
}

class RealDialogs final : public Dialogs {
public:
    // Qt's own file dialog saves its history and last folder in the user's settings
    // (QtProject.conf, shared by every Qt program, always in the native format) and reads them
    // back next time; it has no option against it. The program keeps nothing between runs, so
    // the user settings of the process live in a folder that cannot exist: Qt reads nothing
    // there and, unable to make the folder, writes nothing.
    RealDialogs() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null")); }

    void Information(QWidget* parent, const QString& text, const QString& description) override
    {
        CentredMessageBox(QMessageBox::Information, QStringLiteral("Information"), text, parent, description).exec();
    }

    void Error(QWidget* parent, const QString& text, const QString& description) override
    {
        CentredMessageBox(QMessageBox::Critical, ApplicationTitle(), text, parent, description).exec();
    }

    bool Question(QWidget* parent, const QString& text) override
    {
        CentredMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, parent, {},
                              QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    std::optional<QString> OpenFile(QWidget* parent, const FileDialogRequest& request) override
    {
        return RunFileDialog(parent, request, QFileDialog::AcceptOpen);
    }

    std::optional<QString> SaveFile(QWidget* parent, const FileDialogRequest& request) override
    {
        return RunFileDialog(parent, request, QFileDialog::AcceptSave);
    }

    // The desktop picks the program by the address's scheme (mail program for mailto:, the
    // browser for the web); it takes no verb and no show mode.
    void OpenAddress(QWidget*, const QString&, const QString& address, ShowMode) override
    {
        QDesktopServices::openUrl(QUrl(address));
    }
};

QString& Title()
{
    static QString title;
    return title;
}
}  // namespace

void SetApplicationTitle(const QString& title)
{
    Title() = title;
}

QString ApplicationTitle()
{
    return Title();
}

Dialogs& QtDialogs()
{
    static RealDialogs dialogs;
    return dialogs;
}
