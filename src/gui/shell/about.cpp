#include "gui/shell/about.h"

#include <QMouseEvent>

#include "gui/base/accessibility.h"
#include "gui/base/artwork.h"
#include "gui/base/controls.h"
#include "gui/base/guard.h"

namespace {
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QString kContactAddress = QStringLiteral("zorvanta@example.org");
const QString kHomepageAddress = QStringLiteral("https://www.example.org/");
}  // namespace

TForm13::TForm13(QWidget* mainWindow, Dialogs& dialogs)
    : ToolWindow(mainWindow, QStringLiteral("Zorvanta - About"), QSize(385, 329)), dialogs_(dialogs)
{
    SetBackground(this, Qt::black);
    Image1 = MakePicture(
        this, [](qreal scale) { return Lettering(QStringLiteral("About"), QSize(85, 57), scale); },
        QRect(154, 0, 81, 57));

    Panel1 = new QFrame(this);
    Panel1->setGeometry(24, 56, 337, 241);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    SetBackground(Panel1, Qt::black);

    Image2 = MakePicture(Panel1, Logo, QRect(60, 8, 217, 41));
    Label1 = MakeLabel(Panel1, QStringLiteral("Version 1.3"), QRect(142, 56, 53, 13), Qt::white);
    Label2 = MakeLabel(Panel1, QStringLiteral("Made by the Zorvanta team, mail:"), QRect(83, 88, 171, 13), Qt::white);
    Label3 = MakeLabel(Panel1, kContactAddress, QRect(114, 104, 110, 17), kRed);
    Label5 = MakeLabel(Panel1, QStringLiteral("Eight block ciphers from their published papers"),
                       QRect(37, 129, 242, 13), Qt::white);
    Label6 = MakeLabel(Panel1, QStringLiteral("Key blocks hashed with SHA-1"), QRect(88, 144, 190, 13), Qt::white);
    Label7 = MakeLabel(Panel1, QStringLiteral("Artwork drawn by the program itself"), QRect(88, 160, 209, 13),
                       Qt::white);
    Label8 = MakeLabel(Panel1, QStringLiteral("Thanks to all our testers!"), QRect(34, 184, 142, 13), Qt::white);
    Label4 = MakeLabel(Panel1, QStringLiteral("Homepage: www.example.org"), QRect(88, 216, 179, 13), kRed);

    MarkLink(Label3, QStringLiteral("Writes to the authors with the mail program"));
    MarkLink(Label4, QStringLiteral("Opens the homepage in the web browser"));

    Button1 = MakeButton(this, QStringLiteral("Close..."), QRect(312, 304, 65, 17));
    DescribeKey(Button1, QStringLiteral("Escape"));
    connect(Button1, &QPushButton::clicked, this, Guarded(this, dialogs, [this] { Button1Click(); }));
    Button1->setFocus();

    // Bare parts of the window and the panel report plain moves; so do the two address labels.
    setMouseTracking(true);
    for (QWidget* watched : {static_cast<QWidget*>(Panel1), static_cast<QWidget*>(Label3),
                             static_cast<QWidget*>(Label4)}) {
        watched->setMouseTracking(true);
        watched->installEventFilter(this);
    }
}

bool TForm13::eventFilter(QObject* watched, QEvent* event)
{
    const bool move = event->type() == QEvent::MouseMove;
    const bool click = event->type() == QEvent::MouseButtonRelease &&
                       static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    if (!move && !click) return false;
    Guarded(this, dialogs_, [&] {
        const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (watched == Label3) move ? Label3MouseMove() : Label3Click();
        else if (watched == Label4) move ? Label4MouseMove() : Label4Click();
        else if (move) Panel1MouseMove(position);
    })();
    // A move over an address label stops here, so the panel beneath does not see it too.
    return watched != Panel1;
}

void TForm13::mouseMoveEvent(QMouseEvent* event)
{
    Guarded(this, dialogs_, [&] { FormMouseMove(event->position().toPoint()); })();
}

void TForm13::Label3Click()
{
    dialogs_.OpenAddress(this, QStringLiteral("Open"), "mailto:" + kContactAddress, ShowMode::Normal);
}

void TForm13::Label4Click()
{
    dialogs_.OpenAddress(this, QStringLiteral("open"), kHomepageAddress, ShowMode::Maximized);
}

void TForm13::Label3MouseMove()
{
    SetTextColor(Label3, kBlue);
}

void TForm13::Label4MouseMove()
{
    SetTextColor(Label4, kBlue);
}

// Moves over the other labels and the logo reach the panel too; only bare parts count.
void TForm13::Panel1MouseMove(QPoint position)
{
    if (!Panel1->childAt(position)) SetAddressColors(kRed);
}

void TForm13::FormMouseMove(QPoint position)
{
    if (!childAt(position)) SetAddressColors(kRed);
}

void TForm13::SetAddressColors(const QColor& color)
{
    SetTextColor(Label3, color);
    SetTextColor(Label4, color);
}

void TForm13::Button1Click()
{
    close();
}
