#include "gui/agewindow/agewindow.h"

#include <cerrno>
#include <cstring>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "age/ageerror.h"
#include "age/keyfile.h"
#include "common/error.h"
#include "gui/base/accessibility.h"
#include "gui/base/guard.h"
#include "gui/base/taskbar.h"
#include "gui/base/toolwindow.h"
#include "gui/base/typedsecret.h"

namespace {
const QString kAllFiles = QStringLiteral("All Files (*)");

QLineEdit* MakeBox(const QString& name, bool secret = false)
{
    auto* box = new QLineEdit;
    box->setAccessibleName(name);
    if (secret) box->setEchoMode(QLineEdit::Password);
    return box;
}

QPlainTextEdit* MakeRecipientsBox()
{
    auto* box = new QPlainTextEdit;
    box->setAccessibleName(QStringLiteral("Recipients"));
    box->setAccessibleDescription(QStringLiteral("One age1 key a line; lines starting with # are comments"));
    box->setPlaceholderText(QStringLiteral("age1..."));
    box->setTabChangesFocus(true);
    box->setMaximumHeight(box->fontMetrics().lineSpacing() * 5);  // a few keys; more scroll
    return box;
}

// A box and its button side by side, as one row of a form.
QWidget* Row(QWidget* box, QWidget* button)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box, 1);
    layout->addWidget(button, 0, Qt::AlignTop);
    return row;
}

std::string FileName(const QString& name)
{
    return QFile::encodeName(name).toStdString();
}

std::optional<std::string> FolderIn(const QLineEdit* box)
{
    if (box->text().isEmpty()) return std::nullopt;
    return FileName(box->text());
}

bool Agree(const QLineEdit* first, const QLineEdit* again)
{
    return !first->text().isEmpty() && first->text() == again->text();
}

// Takes a passphrase out of its box, which is left empty.
SecretBytes TakeSecret(QLineEdit* box)
{
    SecretBytes secret = TypedSecret(box->text());
    box->clear();
    return secret;
}

std::vector<Recipient> RecipientsIn(const QPlainTextEdit* box)
{
    try {
        return ParseRecipientList(box->toPlainText().toStdString()).recipients;
    } catch (const AgeError& e) {
        throw ZorvantaError(std::string("Recipients: ") + e.what());
    }
}

// Runs read on a key file, naming the file in its refusals.
template <class Read>
auto Naming(const QString& name, Read read)
{
    try {
        return read();
    } catch (const AgeError& e) {
        throw ZorvantaError(name.toStdString() + ": " + e.what());
    }
}
}  // namespace

// A dialog in the window manager's eyes, as the tool windows are: it belongs to the main window
// (one task-bar entry), and a showing without activation is honoured. But resizable, with a
// maximise button, and not above other programs.
AgeWindow::AgeWindow(QWidget* mainWindow, Dialogs& dialogs)
    : QWidget(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs)
{
    InstallAccessibility();
    setWindowTitle(QStringLiteral("Zorvanta - age"));

    Files = new FileList(this);
    AddFilesButton = new QPushButton(QStringLiteral("Add files..."));
    AddFolderButton = new QPushButton(QStringLiteral("Add folder..."));
    RemoveButton = new QPushButton(QStringLiteral("Remove"));
    auto* listButtons = new QVBoxLayout;
    for (QPushButton* button : {AddFilesButton, AddFolderButton, RemoveButton}) listButtons->addWidget(button);
    listButtons->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(Files, 1);
    listRow->addLayout(listButtons);

    Pages = new QTabWidget;
    Pages->setAccessibleName(QStringLiteral("Pages"));
    Pages->addTab(MakeEncryptPage(), QStringLiteral("Encrypt"));
    Pages->addTab(MakeDecryptPage(), QStringLiteral("Decrypt"));
    Pages->addTab(MakeMovePage(), QStringLiteral("Move to age"));
    Pages->addTab(MakeKeysPage(), QStringLiteral("Keys"));

    Progress = new QProgressBar;
    Progress->setAccessibleName(QStringLiteral("Progress"));
    Progress->setRange(0, 1000);
    Progress->setValue(0);
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    CancelButton->setEnabled(false);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(Progress, 1);
    progressRow->addWidget(CancelButton);

    Outcomes = new QTreeWidget;
    Outcomes->setAccessibleName(QStringLiteral("Outcomes"));
    Outcomes->setRootIsDecorated(false);
    Outcomes->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Outcome"), QStringLiteral("Reason")});
    Outcomes->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    Summary = MakeBox(QStringLiteral("Summary"));
    Summary->setReadOnly(true);
    Summary->setPlaceholderText(QStringLiteral("The summary of the last run"));

    auto* layout = new QVBoxLayout(this);
    auto* filesLabel = new QLabel(QStringLiteral("&Files (a folder stands for every file in and below it):"));
    filesLabel->setBuddy(Files);
    layout->addWidget(filesLabel);
    layout->addLayout(listRow, 2);
    layout->addWidget(Pages);
    layout->addLayout(progressRow);
    layout->addWidget(Outcomes, 3);
    layout->addWidget(Summary);
    resize(QSize(640, 600).expandedTo(minimumSizeHint()));

    const std::pair<QPushButton*, void (AgeWindow::*)()> handlers[] = {
        {AddFilesButton, &AgeWindow::AddFiles},  {AddFolderButton, &AgeWindow::AddFolder},
        {EncEncrypt, &AgeWindow::RunEncrypt},    {DecDecrypt, &AgeWindow::RunDecrypt},
        {MoveMove, &AgeWindow::RunMove},         {KeysGenerate, &AgeWindow::Generate},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QPushButton::clicked, this, Guarded(this, dialogs, [this, handler] { (this->*handler)(); }));
    connect(RemoveButton, &QPushButton::clicked, Files, &FileList::RemoveSelected);
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        if (run_) run_->Cancel();
    });
    connect(EncLoadRecipients, &QPushButton::clicked, this, Guarded(this, dialogs, [this] { LoadRecipients(EncRecipients); }));
    connect(MoveLoadRecipients, &QPushButton::clicked, this,
            Guarded(this, dialogs, [this] { LoadRecipients(MoveRecipients); }));
    connect(KeysCopy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(KeysPublicKey->text()); });
    const std::pair<std::vector<QLineEdit*>, QPushButton*> enterPresses[] = {
        {{EncPassphrase, EncPassphraseAgain, EncOutputFolder}, EncEncrypt},
        {{DecPassphrase, DecKeyFile, DecOutputFolder}, DecDecrypt},
        {{MoveLegacyPassphrase, MoveNewPassphrase, MoveNewPassphraseAgain, MoveOutputFolder}, MoveMove},
    };
    for (const auto& [boxes, button] : enterPresses)
        for (QLineEdit* box : boxes) connect(box, &QLineEdit::returnPressed, button, &QPushButton::click);
    FollowState();
    UpdateButtons();
}

QLineEdit* AgeWindow::FolderBox(QWidget* page, const QString& name)
{
    QLineEdit* box = MakeBox(name);
    box->setPlaceholderText(QStringLiteral("beside each file"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setAccessibleName(QStringLiteral("Browse for the output folder"));
    connect(browse, &QPushButton::clicked, page, [this, box] {
        if (const auto folder = dialogs_.ChooseFolder(this, box->text().isEmpty() ? lastFolder_ : box->text()))
            box->setText(lastFolder_ = *folder);
    });
    static_cast<QFormLayout*>(page->layout())->addRow(name + ":", Row(box, browse));
    return box;
}

QWidget* AgeWindow::MakeEncryptPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    EncPassphraseChoice = new QRadioButton(QStringLiteral("Passphrase"));
    EncRecipientsChoice = new QRadioButton(QStringLiteral("Recipients"));
    EncPassphraseChoice->setChecked(true);
    auto* choices = new QHBoxLayout;
    choices->addWidget(EncPassphraseChoice);
    choices->addWidget(EncRecipientsChoice);
    choices->addStretch();
    form->addRow(QStringLiteral("Protection:"), choices);
    EncPassphrase = MakeBox(QStringLiteral("Passphrase"), true);
    EncPassphraseAgain = MakeBox(QStringLiteral("Passphrase again"), true);
    form->addRow(QStringLiteral("Passphrase:"), EncPassphrase);
    form->addRow(QStringLiteral("Passphrase again:"), EncPassphraseAgain);
    EncRecipients = MakeRecipientsBox();
    EncLoadRecipients = new QPushButton(QStringLiteral("Load recipients file..."));
    form->addRow(QStringLiteral("Recipients:"), Row(EncRecipients, EncLoadRecipients));
    EncArmor = new QCheckBox(QStringLiteral("Armor"));
    EncArmor->setAccessibleDescription(QStringLiteral("Writes the age file as text (PEM)"));
    form->addRow(QString(), EncArmor);
    EncOutputFolder = FolderBox(page, QStringLiteral("Output folder"));
    EncEncrypt = new QPushButton(QStringLiteral("Encrypt"));
    form->addRow(QString(), EncEncrypt);
    return page;
}

QWidget* AgeWindow::MakeDecryptPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    DecPassphrase = MakeBox(QStringLiteral("Passphrase"), true);
    form->addRow(QStringLiteral("Passphrase:"), DecPassphrase);
    DecKeyFile = MakeBox(QStringLiteral("Key file"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setAccessibleName(QStringLiteral("Browse for the key file"));
    connect(browse, &QPushButton::clicked, this, [this] {
        if (const auto name = dialogs_.OpenFile(this, {kAllFiles, DecKeyFile->text(), {}})) DecKeyFile->setText(*name);
    });
    form->addRow(QStringLiteral("Key file:"), Row(DecKeyFile, browse));
    DecOutputFolder = FolderBox(page, QStringLiteral("Output folder"));
    DecDecrypt = new QPushButton(QStringLiteral("Decrypt"));
    form->addRow(QString(), DecDecrypt);
    return page;
}

QWidget* AgeWindow::MakeMovePage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    MoveLegacyPassphrase = MakeBox(QStringLiteral("Legacy passphrase"), true);
    form->addRow(QStringLiteral("Legacy passphrase:"), MoveLegacyPassphrase);
    MoveSameChoice = new QRadioButton(QStringLiteral("Same passphrase"));
    MoveNewChoice = new QRadioButton(QStringLiteral("New passphrase"));
    MoveRecipientsChoice = new QRadioButton(QStringLiteral("Recipients"));
    MoveSameChoice->setChecked(true);
    auto* choices = new QHBoxLayout;
    for (QRadioButton* choice : {MoveSameChoice, MoveNewChoice, MoveRecipientsChoice}) choices->addWidget(choice);
    choices->addStretch();
    form->addRow(QStringLiteral("New protection:"), choices);
    MoveNewPassphrase = MakeBox(QStringLiteral("New passphrase"), true);
    MoveNewPassphraseAgain = MakeBox(QStringLiteral("New passphrase again"), true);
    form->addRow(QStringLiteral("New passphrase:"), MoveNewPassphrase);
    form->addRow(QStringLiteral("New passphrase again:"), MoveNewPassphraseAgain);
    MoveRecipients = MakeRecipientsBox();
    MoveLoadRecipients = new QPushButton(QStringLiteral("Load recipients file..."));
    form->addRow(QStringLiteral("Recipients:"), Row(MoveRecipients, MoveLoadRecipients));
    MoveOutputFolder = FolderBox(page, QStringLiteral("Output folder"));
    MoveDeleteOriginals = new QCheckBox(QStringLiteral("Delete originals after verification"));
    form->addRow(QString(), MoveDeleteOriginals);
    MoveMove = new QPushButton(QStringLiteral("Move to age"));
    form->addRow(QString(), MoveMove);
    return page;
}

QWidget* AgeWindow::MakeKeysPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    KeysKeyFile = MakeBox(QStringLiteral("Key file"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setAccessibleName(QStringLiteral("Browse for the key file"));
    connect(browse, &QPushButton::clicked, this, [this] {
        if (const auto name = dialogs_.SaveFile(this, {kAllFiles, KeysKeyFile->text(), {}})) KeysKeyFile->setText(*name);
    });
    form->addRow(QStringLiteral("Key file:"), Row(KeysKeyFile, browse));
    KeysGenerate = new QPushButton(QStringLiteral("Generate"));
    KeysGenerate->setAccessibleDescription(QStringLiteral("Makes a new identity in the key file, which must not exist"));
    form->addRow(QString(), KeysGenerate);
    KeysPublicKey = MakeBox(QStringLiteral("Public key"));
    KeysPublicKey->setReadOnly(true);
    KeysCopy = new QPushButton(QStringLiteral("Copy"));
    KeysCopy->setAccessibleDescription(QStringLiteral("Puts the public key on the clipboard"));
    form->addRow(QStringLiteral("Public key:"), Row(KeysPublicKey, KeysCopy));
    return page;
}

// What a control holds decides, however it came to hold it (a click, a key, an assistive tool).
void AgeWindow::FollowState()
{
    const auto update = [this] { UpdateButtons(); };
    for (QRadioButton* choice : {EncPassphraseChoice, EncRecipientsChoice, MoveSameChoice, MoveNewChoice,
                                 MoveRecipientsChoice})
        connect(choice, &QRadioButton::toggled, this, update);
    for (QLineEdit* box : {EncPassphrase, EncPassphraseAgain, MoveLegacyPassphrase, MoveNewPassphrase,
                           MoveNewPassphraseAgain, KeysPublicKey})
        connect(box, &QLineEdit::textChanged, this, update);
    for (QPlainTextEdit* box : {EncRecipients, MoveRecipients}) connect(box, &QPlainTextEdit::textChanged, this, update);
    connect(Files, &FileList::Changed, this, update);
    connect(KeysKeyFile, &QLineEdit::textChanged, this, [this] { ShowPublicKey(); });
}

void AgeWindow::UpdateButtons()
{
    const bool ready = !Running() && Files->count() > 0;
    const bool byPassphrase = EncPassphraseChoice->isChecked();
    for (QWidget* box : {static_cast<QWidget*>(EncPassphrase), static_cast<QWidget*>(EncPassphraseAgain)})
        box->setEnabled(byPassphrase);
    EncRecipients->setEnabled(!byPassphrase);
    EncLoadRecipients->setEnabled(!byPassphrase);
    EncEncrypt->setEnabled(ready && (byPassphrase ? Agree(EncPassphrase, EncPassphraseAgain)
                                                  : !EncRecipients->toPlainText().trimmed().isEmpty()));
    DecDecrypt->setEnabled(ready);

    const bool newPassphrase = MoveNewChoice->isChecked(), recipients = MoveRecipientsChoice->isChecked();
    MoveNewPassphrase->setEnabled(newPassphrase);
    MoveNewPassphraseAgain->setEnabled(newPassphrase);
    MoveRecipients->setEnabled(recipients);
    MoveLoadRecipients->setEnabled(recipients);
    const bool protection = newPassphrase ? Agree(MoveNewPassphrase, MoveNewPassphraseAgain)
                            : recipients  ? !MoveRecipients->toPlainText().trimmed().isEmpty()
                                          : true;
    MoveMove->setEnabled(ready && !MoveLegacyPassphrase->text().isEmpty() && protection);
    KeysCopy->setEnabled(!KeysPublicKey->text().isEmpty());
    CancelButton->setEnabled(Running());
}

void AgeWindow::Open(AgePage page, const QStringList& names)
{
    Files->Add(names);
    Pages->setCurrentIndex(static_cast<int>(page));
    // The page's first box takes the keys; Enter in a box of the first three pages presses their button.
    QWidget* const firstBoxes[] = {EncPassphraseChoice->isChecked() ? static_cast<QWidget*>(EncPassphrase)
                                                                    : static_cast<QWidget*>(EncRecipients),
                                   DecPassphrase, MoveLegacyPassphrase, KeysKeyFile};
    firstBoxes[static_cast<int>(page)]->setFocus();
    if (isHidden() && !testAttribute(Qt::WA_Moved))
        ShowCentred(this);
    else
        show();
    raise();
    activateWindow();
}

void AgeWindow::AddFiles()
{
    const std::vector<QString> names = dialogs_.OpenFiles(this, {kAllFiles, {}, {}});
    Files->Add(QStringList(names.begin(), names.end()));
}

void AgeWindow::AddFolder()
{
    if (const auto folder = dialogs_.ChooseFolder(this, lastFolder_)) Files->Add({lastFolder_ = *folder});
}

void AgeWindow::LoadRecipients(QPlainTextEdit* box)
{
    const auto name = dialogs_.OpenFile(this, {kAllFiles, {}, {}});
    if (!name) return;
    const RecipientList listed = Naming(*name, [&] { return ReadRecipientList(FileName(*name)); });
    QString text = box->toPlainText();
    if (!text.isEmpty() && !text.endsWith(u'\n')) text += u'\n';
    for (const Recipient& recipient : listed.recipients)
        text += QString::fromStdString(FormatAnyRecipient(recipient)) + u'\n';
    box->setPlainText(text);
}

void AgeWindow::RunEncrypt()
{
    AgeProtection protection;
    protection.armor = EncArmor->isChecked();
    if (EncRecipientsChoice->isChecked()) {
        protection.recipients = RecipientsIn(EncRecipients);
    } else {
        protection.passphrase = TakeSecret(EncPassphrase);
        EncPassphraseAgain->clear();
    }
    PlannedBatch plan = PlanEncrypt(std::move(protection), FolderIn(EncOutputFolder));
    BatchWalk walk = Walk(plan);
    Start(std::move(plan), std::move(walk));
}

void AgeWindow::RunDecrypt()
{
    std::vector<Identity> identities;
    if (const QString keyFile = DecKeyFile->text(); !keyFile.isEmpty()) {
        const auto ask = [this, &keyFile]() -> std::optional<SecretBytes> {
            const auto typed = dialogs_.AskPassphrase(this, "The key file " + keyFile + " is protected. Its passphrase:");
            if (!typed) return std::nullopt;
            return TypedSecret(*typed);
        };
        Unlocking unlocking;
        unlocking.passphrase = ask;
        identities = Naming(keyFile, [&] {
            auto read = ReadIdentityFile(FileName(keyFile), unlocking, ask);
            // A protected SSH key is unlocked here, not when the run's thread first needs it:
            // a box is asked on this thread only.
            for (const Identity& identity : read)
                if (const auto* ssh = std::get_if<SshIdentity>(&identity); ssh && ssh->Locked()) ssh->Unlock();
            return read;
        });
    }
    std::optional<SecretBytes> passphrase;
    if (!DecPassphrase->text().isEmpty() || identities.empty()) passphrase = TakeSecret(DecPassphrase);
    PlannedBatch plan = PlanDecrypt(std::move(passphrase), std::move(identities), FolderIn(DecOutputFolder));
    BatchWalk walk = Walk(plan);
    Start(std::move(plan), std::move(walk));
}

void AgeWindow::RunMove()
{
    AgeProtection protection;
    if (MoveRecipientsChoice->isChecked()) protection.recipients = RecipientsIn(MoveRecipients);
    const SecretBytes legacy = TypedSecret(MoveLegacyPassphrase->text());
    if (MoveSameChoice->isChecked()) protection.passphrase = legacy;
    if (MoveNewChoice->isChecked()) protection.passphrase = TypedSecret(MoveNewPassphrase->text());
    const bool deleteOriginals = MoveDeleteOriginals->isChecked();
    PlannedBatch plan = PlanMove(legacy, std::move(protection), FolderIn(MoveOutputFolder), deleteOriginals);
    BatchWalk walk = Walk(plan);
    if (deleteOriginals) {
        const std::size_t count = walk.files.size();
        const QString text = QString::number(count) + (count == 1 ? " original" : " originals") +
                             " will be deleted, each once its age file has been verified. Go on?";
        if (!dialogs_.Confirm(this, text)) return;
    }
    for (QLineEdit* box : {MoveLegacyPassphrase, MoveNewPassphrase, MoveNewPassphraseAgain}) box->clear();
    Start(std::move(plan), std::move(walk));
}

// Refused as a whole before any work: an output folder among the files, two files for one output.
BatchWalk AgeWindow::Walk(const PlannedBatch& plan) const
{
    return WalkForBatch(Files->Paths(), true, plan.outputFolder, *plan.task);
}

void AgeWindow::Start(PlannedBatch plan, BatchWalk walk)
{
    Outcomes->clear();
    Summary->clear();
    Progress->setValue(0);
    Progress->setFormat(QStringLiteral("%p%"));
    run_ = std::make_unique<BatchRunner>(std::move(walk), std::move(plan));
    connect(run_.get(), &BatchRunner::Progressed, this,
            [this](std::uint64_t done, std::uint64_t total, std::size_t ended, std::size_t files) {
                Progress->setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
                Progress->setFormat(QStringLiteral("%p% (%1 of %2 files)").arg(ended).arg(files));
            });
    connect(run_.get(), &BatchRunner::FileEnded, this,
            [this](const QString& name, const QString& outcome, const QString& reason) {
                Outcomes->addTopLevelItem(new QTreeWidgetItem(QStringList{name, outcome, reason}));
            });
    connect(run_.get(), &BatchRunner::Completed, this, [this] { EndRun(); });
    UpdateButtons();
}

void AgeWindow::EndRun()
{
    Progress->setValue(Progress->maximum());
    Summary->setText(QString::fromStdString(run_->SummaryLine()));
    Outcomes->resizeColumnToContents(0);
    UpdateButtons();
    if (QApplication::activeWindow() != this) AwaitAttention(this);
}

void AgeWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && QApplication::activeWindow() == this)
        ClearAttention(parentWidget());
}

void AgeWindow::CancelRun()
{
    if (!Running()) return;
    run_->Cancel();
    run_->Wait();
    run_.reset();  // its end, still queued, goes with it
    UpdateButtons();
}

void AgeWindow::Generate()
{
    const QString name = KeysKeyFile->text();
    if (name.isEmpty()) throw ZorvantaError("Choose a name for the new key file first");
    const SecretBytes text = IdentityFileText(GenerateX25519Identity());
    const auto notKept = WriteKeyFile(FileName(name), text, OutputFile::Existing::Refuse);
    if (!notKept) {
        if (errno == EEXIST) throw ZorvantaError(name.toStdString() + " exists; choose a new name for the key file");
        throw ZorvantaError(name.toStdString() + ": cannot be created (" + std::strerror(errno) + ")");
    }
    ShowPublicKey();
    if (!notKept->empty()) dialogs_.Information(this, QString::fromStdString(*notKept));
}

void AgeWindow::ShowPublicKey()
{
    QString shown;
    try {
        // A key file under a passphrase shows nothing here: it is not asked for while typing.
        for (const Identity& identity : ReadIdentityFile(FileName(KeysKeyFile->text()), Unlocking{}))
            shown += (shown.isEmpty() ? "" : " ") + QString::fromStdString(FormatAnyRecipient(PublicOf(identity)));
    } catch (const std::exception&) {
        shown.clear();
    }
    KeysPublicKey->setText(shown);
}

void AgeWindow::closeEvent(QCloseEvent* event)
{
    // Hidden only: a run goes on, and its outcomes wait in the window.
    event->ignore();
    hide();
}
