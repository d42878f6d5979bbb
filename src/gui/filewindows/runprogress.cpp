#include "gui/filewindows/runprogress.h"

#include <QAbstractButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWindow>

#include "gui/base/fonts.h"
#include "gui/base/taskbar.h"

namespace {
constexpr int kBarSteps = 1000;

// Megabytes of a million bytes, as transfer speeds are usually given.
QString Megabytes(std::uint64_t bytes)
{
    return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1);
}

QString Figures(std::uint64_t done, std::optional<std::uint64_t> total, std::int64_t elapsedMs)
{
    const QString amount = total ? QStringLiteral("%1 of %2 MB").arg(Megabytes(done), Megabytes(*total))
                                 : QStringLiteral("%1 MB").arg(Megabytes(done));
    const auto perSecond = elapsedMs > 0 ? static_cast<std::uint64_t>(static_cast<double>(done) * 1000.0 /
                                                                      static_cast<double>(elapsedMs))
                                         : 0;
    return QStringLiteral("%1, %2 MB/s").arg(amount, Megabytes(perSecond));
}
}  // namespace

RunProgressDialog::RunProgressDialog(QWidget* window, FileOperation operation, FileRun& run,
                                     std::chrono::milliseconds delay)
    : QDialog(window), window_(window),
      action_(operation == FileOperation::Encrypt ? QStringLiteral("Encrypting File")
                                                  : QStringLiteral("Decrypting File"))
{
    window->setCursor(Qt::BusyCursor);  // the other windows go on working
    clock_.start();
    setWindowTitle(window->windowTitle());
    KeepOffTaskbar(this);
    setFont(SansSerif8());

    Text = new QLabel(action_ + QLatin1Char('\n'), this);  // room for the figures from the start
    Bar = new QProgressBar(this);
    Bar->setRange(0, kBarSteps);
    Bar->setValue(0);
    Bar->setAccessibleName(QStringLiteral("Progress"));
    Bar->setAccessibleDescription(action_);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text);
    layout->addWidget(Bar);
    layout->addWidget(CancelButton, 0, Qt::AlignHCenter);
    setMinimumWidth(320);

    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, &run, &FileRun::Cancel);
    connect(&run, &FileRun::Progressed, this, &RunProgressDialog::ShowProgress);
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, &RunProgressDialog::ShowOverWindow);
    delay_.start(delay);
}

RunProgressDialog::~RunProgressDialog()
{
    window_->unsetCursor();
}

// The dialog takes the keyboard only from its own window: keys typed into another window meanwhile
// must not reach its Cancel.
void RunProgressDialog::ShowOverWindow()
{
    const bool elsewhere = !window_->isActiveWindow();
    setAttribute(Qt::WA_ShowWithoutActivating, elsewhere);
    // Window managers may still focus a new dialog of the program; this one then refuses.
    if (elsewhere && windowHandle()) windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus);
    show();
}

void RunProgressDialog::TakeKeyboard()
{
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    if (windowHandle()) windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, false);
    raise();
    activateWindow();
}

// Showing or hiding by the window manager, as when the program is minimised, leaves the lock.
void RunProgressDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous() && !lock_) lock_.emplace(parentWidget());
    QDialog::showEvent(event);
}

void RunProgressDialog::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) lock_.reset();
    QDialog::hideEvent(event);
}

RunProgressDialog::ControlsLock::ControlsLock(QWidget* window)
    : window_(window), acceptedDrops_(window->acceptDrops()), focus_(window->focusWidget())
{
    // Without the focus first, disabling the control that has it would pass the focus along the
    // others, each selecting and dropping its text on the way.
    if (focus_) focus_->clearFocus();
    window->setAcceptDrops(false);
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const bool control = child->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(child);
        if (child->isWindow() || !child->isEnabled() || !control) continue;
        child->setEnabled(false);
        disabled_.emplace_back(child);
    }
}

RunProgressDialog::ControlsLock::~ControlsLock()
{
    for (const QPointer<QWidget>& child : disabled_)
        if (child) child->setEnabled(true);
    window_->setAcceptDrops(acceptedDrops_);
    if (focus_) focus_->setFocus();
}

void RunProgressDialog::ShowProgress(std::uint64_t done, std::optional<std::uint64_t> total)
{
    Text->setText(action_ + QLatin1Char('\n') + Figures(done, total, clock_.elapsed()));
    if (!total) {
        Bar->setRange(0, 0);
        return;
    }
    Bar->setRange(0, kBarSteps);
    Bar->setValue(*total == 0 ? kBarSteps
                              : static_cast<int>(static_cast<double>(done) / static_cast<double>(*total) * kBarSteps));
}
