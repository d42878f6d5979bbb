#pragma once

// The one design of the seven file encryption windows. Each window owns one component of
// every block cipher, lists them sorted by name in a hidden list and always uses the entry at
// its own fixed position; the thin classes of the units around this one only fill in the
// details below.

#include <chrono>
#include <functional>
#include <memory>

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "cipher/blowfish.h"
#include "cipher/cast128.h"
#include "cipher/cast256.h"
#include "cipher/gost.h"
#include "cipher/idea.h"
#include "cipher/misty1.h"
#include "cipher/rijndael.h"
#include "cipher/twofish.h"
#include "fileenc/fileop.h"
#include "gui/base/dialogs.h"
#include "gui/base/toolwindow.h"
#include "gui/filewindows/filerun.h"
#include "gui/filewindows/outcometext.h"
#include "gui/filewindows/runprogress.h"

struct FileWindowDesign {
    QString caption;          // "Zorvanta - Blowfish Encryption"
    int listPosition;         // the entry of the sorted list this window uses
    MessageWording encryptWording = MessageWording::Standard;
    int listLeft = 88;
    bool ownsCast256 = false;
};

class FileEncryptionWindow : public ToolWindow {
public:
    FileEncryptionWindow(QWidget* mainWindow, Dialogs& dialogs, const FileWindowDesign& design);

    // The component the window encrypts and decrypts with.
    TZC_blockcipher& SelectedCipher() const;

    // Encryption and decryption run on a worker thread; the window goes on meanwhile, also
    // hidden. A run's outcome box opens at once only when the window or its progress dialog is
    // active (a closed window is shown again with it): otherwise the window is marked for
    // attention (and shown again, without the focus, if it was closed) and the box waits until
    // the window is next activated, so that it never takes keys typed into another window.
    bool Running() const { return run_ && !run_->Ended(); }
    bool OutcomePending() const { return outcomePending_; }
    // Stops a run in progress and waits for its thread; no outcome box follows.
    void CancelRun();
    // Offered in the error box of an age file that opens with a key file, not a passphrase:
    // opens that file where key files are taken.
    void SetKeyFileOpener(std::function<void(const QString& name)> opener) { keyFileOpener_ = std::move(opener); }
    // How long a run goes before its progress dialog shows.
    void SetProgressDelay(std::chrono::milliseconds delay) { progressDelay_ = delay; }

    QLabel* Image1;
    QToolButton* COutBrowseBtn;
    QToolButton* CInBrowseBtn;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QFrame* Bevel1;
    QPushButton* CDecryptBtn;
    QPushButton* CEncryptBtn;
    QLineEdit* COutFileBox;
    QLineEdit* CInFileBox;
    QComboBox* CAlgorithmCBx;
    QLineEdit* CPassphraseBox;
    QPushButton* Button1;

private:
    void FormCreate();
    void CInBrowseBtnClick();
    void COutBrowseBtnClick();
    void CEncryptBtnClick();
    void CDecryptBtnClick();
    void Button1Click();
    void RunFileOperation(FileOperation operation);
    void EndRun(bool attended);
    void ShowOutcome();
    void ShowRunError(const std::exception_ptr& error);
    void FocusOffRunButtons();
    bool Busy() const override { return Running(); }
    void changeEvent(QEvent* event) override;

    const FileWindowDesign design_;
    Dialogs& dialogs_;
    QString lastOpenName_;
    QString lastSaveName_;
    std::function<void(const QString&)> keyFileOpener_;

    TZC_blowfish ZC_blowfish1;
    TZC_cast128 ZC_cast1281;
    TZC_gost ZC_gost1;
    TZC_rijndael ZC_rijndael1;
    TZC_twofish ZC_twofish1;
    TZC_misty1 ZC_misty11;
    TZC_idea ZC_idea1;
    std::unique_ptr<TZC_cast256> ZC_cast2561;  // the Cast 256 window's only

    std::chrono::milliseconds progressDelay_{500};
    std::unique_ptr<FileRun> run_;  // the current or last run
    FileOperation runOperation_ = FileOperation::Encrypt;
    QString runInputName_;
    bool runWritesAge_ = false;
    QString runDescription_;  // for screen readers: the window and the run's files
    bool outcomePending_ = false;  // run_ has ended; its outcome waits for the window's activation
    std::unique_ptr<RunProgressDialog> runProgress_;  // destroyed before run_, which it reports on
};
