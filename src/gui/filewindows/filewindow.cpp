#include "gui/filewindows/filewindow.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QShortcut>

#include "age/ageerror.h"
#include "cipher/registry.h"
#include "formats/eitherformat.h"
#include "gui/base/artwork.h"
#include "gui/base/controls.h"
#include "gui/base/filedrop.h"
#include "gui/base/fonts.h"
#include "gui/base/guard.h"
#include "gui/base/taskbar.h"
#include "gui/base/typedsecret.h"
#include "gui/filewindows/outcometext.h"

Q_DECLARE_METATYPE(TZC_blockcipher*)

namespace {
const QString kAllFiles = QStringLiteral("All Files (*.*)");
// A name ending in .age makes Encrypt write an age file.
const QString kOutputFilters = kAllFiles + QStringLiteral(";;age files (*.age)");

QToolButton* MakeBrowseButton(QWidget* parent, const QRect& geometry)
{
    auto* button = new QToolButton(parent);
    button->setGeometry(geometry);
    button->setAutoRaise(true);
    button->setIcon(FolderIcon());
    button->setIconSize(QSize(18, 16));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QLineEdit* MakeEditBox(QWidget* parent, const QRect& geometry)
{
    auto* box = new QLineEdit(parent);
    box->setGeometry(geometry);
    return box;
}

// Names a box for screen readers, and links the label drawn above it.
void Name(QLineEdit* box, QLabel* label, const char* name, const char* description)
{
    box->setAccessibleName(QString::fromLatin1(name));
    box->setAccessibleDescription(QString::fromLatin1(description));
    label->setBuddy(box);
}

// The window title lettered on the background: the caption without the product name.
QString ArtworkTitle(const QString& caption)
{
    return caption.section(QStringLiteral(" - "), 1);
}

// What a browse dialog offers: the path in the box, so the dialog opens at its folder (a
// relative one against the current folder), or else the name last chosen in the dialog.
QString OfferedName(const QLineEdit* box, const QString& lastChosen)
{
    const QFileInfo inBox(box->text());
    return !box->text().isEmpty() && inBox.absoluteDir().exists() ? inBox.absoluteFilePath() : lastChosen;
}

std::string FileName(const QLineEdit* box)
{
    return QFile::encodeName(box->text()).toStdString();
}

bool EndedCancelled(const FileRun& run)
{
    try {
        return run.Outcome() == FileOpResult::Cancelled;
    } catch (...) {
        return false;  // an error, shown as the run's outcome
    }
}
}  // namespace

FileEncryptionWindow::FileEncryptionWindow(QWidget* mainWindow, Dialogs& dialogs, const FileWindowDesign& design)
    : ToolWindow(mainWindow, design.caption, QSize(393, 280)), design_(design), dialogs_(dialogs)
{
    setFont(Arial13());
    const QFont controlFont = SansSerif8();

    // Created from the lowest layer up; the focusable controls also in their Tab order.
    Image1 = MakePicture(
        this, [title = ArtworkTitle(design.caption)](qreal scale) { return SwirlBackground(title, kCentreTitleTop, scale); },
        QRect(0, 0, 393, 281));
    COutBrowseBtn = MakeBrowseButton(this, QRect(320, 80, 25, 25));
    CInBrowseBtn = MakeBrowseButton(this, QRect(320, 32, 25, 25));
    Label1 = MakeLabel(this, QStringLiteral("File to be Encrypted / Decrypted :"), QRect(48, 16, 160, 13), Qt::white);
    Label2 = MakeLabel(this, QStringLiteral("Output File :"), QRect(48, 64, 57, 13), Qt::white);
    Label3 = MakeLabel(this, QStringLiteral("Enter Passphrase here :"), QRect(140, 176, 113, 13), Qt::white);
    Bevel1 = MakeBevel(this, QRect(72, 168, 249, 57), BevelStyle::Sunken);
    CDecryptBtn = MakeButton(this, QStringLiteral("Decrypt File"), QRect(224, 232, 105, 17));
    CEncryptBtn = MakeButton(this, QStringLiteral("Encrypt File"), QRect(64, 232, 105, 17));
    COutFileBox = MakeEditBox(this, QRect(48, 80, 265, 24));
    CInFileBox = MakeEditBox(this, QRect(48, 32, 265, 24));
    CAlgorithmCBx = new QComboBox(this);
    CAlgorithmCBx->setGeometry(design.listLeft, 256, 225, 24);
    CAlgorithmCBx->setVisible(false);
    CPassphraseBox = MakeEditBox(this, QRect(84, 192, 225, 21));
    Button1 = MakeButton(this, QStringLiteral("Close..."), QRect(312, 256, 75, 17));
    for (QWidget* control : std::initializer_list<QWidget*>{Label1, Label2, Label3, CDecryptBtn, CEncryptBtn,
                                                            CPassphraseBox, Button1})
        control->setFont(controlFont);
    Name(CInFileBox, Label1, "Input file", "The file to be encrypted or decrypted");
    Name(COutFileBox, Label2, "Output file", "Receives the result; a file of this name is replaced");
    Name(CPassphraseBox, Label3, "Passphrase", "Shown as typed");
    CInBrowseBtn->setAccessibleName(QStringLiteral("Browse for the input file"));
    COutBrowseBtn->setAccessibleName(QStringLiteral("Browse for the output file"));
    CAlgorithmCBx->setAccessibleName(QStringLiteral("Cipher"));
    // The browse buttons take no focus; keys reach them instead (a locked button ignores them).
    const std::pair<QAbstractButton*, QKeySequence> browseKeys[] = {
        {CInBrowseBtn, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {COutBrowseBtn, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
    };
    for (const auto& [button, key] : browseKeys) {
        connect(new QShortcut(key, this), &QShortcut::activated, button, &QAbstractButton::click);
        DescribeKey(button, key.toString());
    }
    DescribeKey(CInFileBox, browseKeys[0].second.toString() + " browses");
    DescribeKey(COutFileBox, browseKeys[1].second.toString() + " browses");
    DescribeKey(Button1, QStringLiteral("Escape"));

    const std::pair<QAbstractButton*, void (FileEncryptionWindow::*)()> handlers[] = {
        {COutBrowseBtn, &FileEncryptionWindow::COutBrowseBtnClick},
        {CInBrowseBtn, &FileEncryptionWindow::CInBrowseBtnClick},
        {CDecryptBtn, &FileEncryptionWindow::CDecryptBtnClick},
        {CEncryptBtn, &FileEncryptionWindow::CEncryptBtnClick},
        {Button1, &FileEncryptionWindow::Button1Click},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QAbstractButton::clicked, this, Guarded(this, dialogs, [this, handler] { (this->*handler)(); }));
    CDecryptBtn->setFocus();

    // A file dropped on the output box names the output; dropped anywhere else, the input.
    const auto into = [](QLineEdit* box) { return [box](const QString& name) { box->setText(name); }; };
    AcceptFileDrops(COutFileBox, this, dialogs, into(COutFileBox));
    for (QWidget* target : std::initializer_list<QWidget*>{this, CInFileBox, CPassphraseBox})
        AcceptFileDrops(target, this, dialogs, into(CInFileBox));

    Guarded(this, dialogs, [this] { FormCreate(); })();
}

void FileEncryptionWindow::FormCreate()
{
    if (design_.ownsCast256) ZC_cast2561 = std::make_unique<TZC_cast256>();
    TZC_blockcipher* const components[] = {&ZC_blowfish1, &ZC_cast1281, &ZC_gost1,  &ZC_rijndael1,
                                           &ZC_twofish1,  &ZC_misty11,  &ZC_idea1,  ZC_cast2561.get()};
    for (TZC_blockcipher* component : components) {
        if (!component) continue;
        const QString name = QString::fromStdString(component->Algorithm());
        int position = 0;
        while (position < CAlgorithmCBx->count() &&
               QString::compare(CAlgorithmCBx->itemText(position), name, Qt::CaseInsensitive) <= 0)
            ++position;
        CAlgorithmCBx->insertItem(position, name, QVariant::fromValue(component));
    }
    CAlgorithmCBx->setCurrentIndex(design_.listPosition);
}

TZC_blockcipher& FileEncryptionWindow::SelectedCipher() const
{
    auto* cipher = CAlgorithmCBx->currentData().value<TZC_blockcipher*>();
    if (!cipher) throw ZorvantaError("No cipher at list position " + std::to_string(design_.listPosition));
    return *cipher;
}

void FileEncryptionWindow::CInBrowseBtnClick()
{
    if (const auto name = dialogs_.OpenFile(this, {kAllFiles, OfferedName(CInFileBox, lastOpenName_), {}})) {
        lastOpenName_ = *name;
        CInFileBox->setText(*name);
    }
}

void FileEncryptionWindow::COutBrowseBtnClick()
{
    if (const auto name = dialogs_.SaveFile(this, {kOutputFilters, OfferedName(COutFileBox, lastSaveName_), {}, true})) {
        lastSaveName_ = *name;
        COutFileBox->setText(*name);
    }
}

void FileEncryptionWindow::CEncryptBtnClick()
{
    RunFileOperation(FileOperation::Encrypt);
}

void FileEncryptionWindow::CDecryptBtnClick()
{
    RunFileOperation(FileOperation::Decrypt);
}

void FileEncryptionWindow::RunFileOperation(FileOperation operation)
{
    // The run in progress holds the names and the component; an outcome not yet shown comes first.
    if (Running() || outcomePending_) return;
    const SecretBytes passphrase = TypedSecret(CPassphraseBox->text());
    const bool writesAge = operation == FileOperation::Encrypt && WritesAge(FileName(COutFileBox));
    // Encrypting a legacy file to age would wrap its weak ciphertext: moving it is offered.
    const auto legacyCipher = writesAge ? LegacyCipherOfFile(FileName(CInFileBox), passphrase) : std::nullopt;
    const bool moveToAge =
        legacyCipher && dialogs_.Question(this, QString::fromStdString(MoveToAgeQuestion(*legacyCipher)));
    run_ = std::make_unique<FileRun>(FileJob{operation, FileName(CInFileBox), FileName(COutFileBox), passphrase,
                                             CreateCipher(SelectedCipher().Algorithm()), moveToAge});
    runOperation_ = operation;
    runWritesAge_ = writesAge;
    runInputName_ = CInFileBox->text();
    runDescription_ = windowTitle() + ": " + CInFileBox->text() + " to " + COutFileBox->text();
    connect(run_.get(), &FileRun::Finished, this, [this] {
        // Whether the user is at this window, asked before its progress dialog goes.
        EndRun(isActiveWindow() || (runProgress_ && runProgress_->isActiveWindow()));
    });
    runProgress_ = std::make_unique<RunProgressDialog>(this, operation, *run_, progressDelay_);
}

void FileEncryptionWindow::EndRun(bool attended)
{
    runProgress_.reset();
    FocusOffRunButtons();
    if (EndedCancelled(*run_)) return;  // the user knows: they asked for it
    outcomePending_ = true;
    if (!attended) {
        AwaitAttention(this);
        return;
    }
    if (isHidden()) ShowTool();  // closed during the run while the user watched its progress
    ShowOutcome();
}

void FileEncryptionWindow::changeEvent(QEvent* event)
{
    ToolWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow()) return;
    // Queued: the box opens once the activation, and a click that brought it, are handled.
    if (outcomePending_)
        QMetaObject::invokeMethod(this, [this] {
            if (outcomePending_ && isActiveWindow()) ShowOutcome();
        }, Qt::QueuedConnection);
    // The window's controls are locked while its progress shows: the keyboard goes there, to
    // Cancel.
    if (QApplication::activeWindow() == this && runProgress_ && runProgress_->isVisible())
        QMetaObject::invokeMethod(this, [this] {
            if (QApplication::activeWindow() == this && runProgress_ && runProgress_->isVisible())
                runProgress_->TakeKeyboard();
        }, Qt::QueuedConnection);
}

// An age file for recipients: the error box offers to open it in the window that takes key files.
void FileEncryptionWindow::ShowRunError(const std::exception_ptr& error)
{
    const QString text = QString::fromStdString(WithNotices(ErrorText(error), run_->Notices()));
    bool needsKeyFile = false;
    try {
        std::rethrow_exception(error);
    } catch (const AgeError& e) {
        needsKeyFile = e.failure() == AgeFailure::NoIdentityMatched;
    } catch (...) {
    }
    if (!needsKeyFile || !keyFileOpener_) {
        dialogs_.Error(this, text, runDescription_);
        return;
    }
    if (dialogs_.ErrorOffering(this, text, QStringLiteral("Open in the age window"), runDescription_))
        keyFileOpener_(runInputName_);
}

void FileEncryptionWindow::ShowOutcome()
{
    outcomePending_ = false;
    ClearAttention(parentWidget());
    FileOpResult result;
    try {
        result = run_->Outcome();
    } catch (...) {
        ShowRunError(std::current_exception());
        return;
    }
    const MessageWording wording = runOperation_ == FileOperation::Encrypt ? design_.encryptWording
                                                                           : MessageWording::Standard;
    const std::string text = WithNotices(
        OutcomeText(result, runOperation_, wording, runWritesAge_, run_->FittingCipher()), run_->Notices());
    dialogs_.Information(this, QString::fromStdString(text), runDescription_);
    switch (result) {
    case FileOpResult::NoInputName:
        CInFileBox->setFocus();
        break;
    case FileOpResult::NoOutputName:
        COutFileBox->setFocus();
        break;
    case FileOpResult::SameNames:
        COutFileBox->setFocus();
        COutFileBox->selectAll();
        break;
    default:
        FocusOffRunButtons();  // a click that brought the window may have focused one
        break;
    }
}

void FileEncryptionWindow::FocusOffRunButtons()
{
    // A typed space or Enter must not start the same run again.
    if (focusWidget() == CEncryptBtn || focusWidget() == CDecryptBtn) CInFileBox->setFocus();
}

void FileEncryptionWindow::CancelRun()
{
    if (!Running()) return;
    run_->Cancel();
    run_->Wait();
    runProgress_.reset();
    run_.reset();  // its end, still queued, goes with it
}

void FileEncryptionWindow::Button1Click()
{
    close();
}
