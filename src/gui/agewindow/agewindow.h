#pragma once

// The age window: a list of files and folders, and four pages that work on it. Encrypt makes
// age files for a passphrase or for recipients, Decrypt opens files of either format with a
// passphrase or a key file, Move to age turns legacy files into age files as reseal does, and
// Keys makes a key file and shows its public key. Each run goes through the batch engine on a
// worker thread; the window lists each file's outcome and the batch's summary, and never opens a
// box at a run's end, so it never takes keys typed into another window. Closing the window
// keeps the run; at its end a window the user is not at is marked for attention (and shown
// again if it was closed).

#include <memory>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "gui/agewindow/batchrunner.h"
#include "gui/agewindow/filelist.h"
#include "gui/base/dialogs.h"

enum class AgePage { Encrypt, Decrypt, Move, Keys };

class AgeWindow final : public QWidget {
    Q_OBJECT

public:
    AgeWindow(QWidget* mainWindow, Dialogs& dialogs);

    // Lists names (none: the list stays), shows page and brings the window to the front.
    void Open(AgePage page, const QStringList& names = {});
    bool Running() const { return run_ && !run_->Ended(); }
    // Stops a run in progress and waits for its thread.
    void CancelRun();

    FileList* Files;
    QPushButton* AddFilesButton;
    QPushButton* AddFolderButton;
    QPushButton* RemoveButton;
    QTabWidget* Pages;

    // Encrypt
    QRadioButton* EncPassphraseChoice;
    QRadioButton* EncRecipientsChoice;
    QLineEdit* EncPassphrase;
    QLineEdit* EncPassphraseAgain;
    QPlainTextEdit* EncRecipients;
    QPushButton* EncLoadRecipients;
    QCheckBox* EncArmor;
    QLineEdit* EncOutputFolder;
    QPushButton* EncEncrypt;

    // Decrypt
    QLineEdit* DecPassphrase;
    QLineEdit* DecKeyFile;
    QLineEdit* DecOutputFolder;
    QPushButton* DecDecrypt;

    // Move to age
    QLineEdit* MoveLegacyPassphrase;
    QRadioButton* MoveSameChoice;
    QRadioButton* MoveNewChoice;
    QRadioButton* MoveRecipientsChoice;
    QLineEdit* MoveNewPassphrase;
    QLineEdit* MoveNewPassphraseAgain;
    QPlainTextEdit* MoveRecipients;
    QPushButton* MoveLoadRecipients;
    QLineEdit* MoveOutputFolder;
    QCheckBox* MoveDeleteOriginals;
    QPushButton* MoveMove;

    // Keys
    QLineEdit* KeysKeyFile;
    QPushButton* KeysGenerate;
    QLineEdit* KeysPublicKey;
    QPushButton* KeysCopy;

    // The run
    QProgressBar* Progress;
    QPushButton* CancelButton;
    QTreeWidget* Outcomes;
    QLineEdit* Summary;

private:
    QWidget* MakeEncryptPage();
    QWidget* MakeDecryptPage();
    QWidget* MakeMovePage();
    QWidget* MakeKeysPage();
    QLineEdit* FolderBox(QWidget* page, const QString& name);
    void FollowState();
    void UpdateButtons();
    void AddFiles();
    void AddFolder();
    void LoadRecipients(QPlainTextEdit* box);
    void RunEncrypt();
    void RunDecrypt();
    void RunMove();
    BatchWalk Walk(const PlannedBatch& plan) const;
    void Start(PlannedBatch plan, BatchWalk walk);
    void EndRun();
    void Generate();
    void ShowPublicKey();
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

    Dialogs& dialogs_;
    QString lastFolder_;
    std::unique_ptr<BatchRunner> run_;
};
