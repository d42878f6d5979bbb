#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "age/agefile.h"
#include "gui/filewindows/blowfishenc.h"
#include "gui/filewindows/cast256enc.h"
#include "gui/filewindows/gostenc.h"
#include "gui/filewindows/ideaenc.h"
#include "gui/filewindows/misty1enc.h"
#include "gui/filewindows/rijndaelenc.h"
#include "gui/filewindows/twofishenc.h"
#include "support/fakedialogs.h"
#include "support/pipeinput.h"
#include "support/windowtest.h"

using namespace std::chrono_literals;

namespace {
const QStringList kCommonList = {"Blowfish", "Cast128", "Gost", "IDEA", "Misty1", "Rijndael", "Twofish"};
const QStringList kCast256List = {"Blowfish", "Cast128", "Cast256", "Gost", "IDEA", "Misty1", "Rijndael", "Twofish"};

struct Instance {
    std::function<FileEncryptionWindow*(QWidget*, Dialogs&)> create;
    QString caption;
    QString cipher;
    QStringList list;
    int listLeft;
};

template <class Form>
FileEncryptionWindow* Create(QWidget* main, Dialogs& dialogs)
{
    return new Form(main, dialogs);
}

const Instance kInstances[] = {
    {Create<TForm5>, "Zorvanta - Blowfish Encryption", "Blowfish", kCommonList, 88},
    {Create<TForm6>, "Zorvanta - Gost Encryption", "Gost", kCommonList, 88},
    {Create<TForm7>, "Zorvanta - IDEA Encryption", "IDEA", kCommonList, 88},
    {Create<TForm8>, "Zorvanta - Rijndael Encryption", "Rijndael", kCommonList, 88},
    {Create<TForm9>, "Zorvanta - Misty 1 Encryption", "Misty1", kCommonList, 80},
    {Create<TForm10>, "Zorvanta - Twofish Encryption", "Twofish", kCommonList, 88},
    {Create<TForm11>, "Zorvanta - Cast 256 Encryption", "Cast256", kCast256List, 88},
};

// Runs the event loop until the window's run has ended and its outcome has been shown.
bool WaitForRun(const FileEncryptionWindow* window)
{
    return QTest::qWaitFor([window] { return !window->Running(); }, 60000);  // scrypt runs are slow on a busy machine
}

QStringList ListEntries(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
    return entries;
}

class FileWindow : public testing::Test {
protected:
    FileEncryptionWindow* Open(const Instance& instance)
    {
        FileEncryptionWindow* window = instance.create(&main, dialogs);
        EXPECT_TRUE(ShowActive(window));
        return window;
    }

    // Types a whole operation into the window as a user would, through the browse buttons.
    void Run(FileEncryptionWindow* window, QPushButton* button, const QString& in, const QString& out,
             const QString& passphrase)
    {
        dialogs.fileAnswers = {in, out};
        QTest::mouseClick(window->CInBrowseBtn, Qt::LeftButton);
        QTest::mouseClick(window->COutBrowseBtn, Qt::LeftButton);
        window->CPassphraseBox->clear();
        QTest::keyClicks(window->CPassphraseBox, passphrase);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(WaitForRun(window));
    }

    static void SetNames(FileEncryptionWindow* window, const QString& in, const QString& out)
    {
        window->CInFileBox->setText(in);
        window->COutFileBox->setText(out);
        window->CPassphraseBox->setText("pw");
    }

    QStringList Entries() const
    {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QString Path(const QString& name) const { return folder.filePath(name); }

    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir folder;
    FakeDialogs dialogs;
    QWidget main;
};
}  // namespace

TEST_F(FileWindow, EachInstanceListsItsComponentsSortedAndUsesItsOwnCipher)
{
    for (const Instance& instance : kInstances) {
        const std::string name = instance.caption.toStdString();
        FileEncryptionWindow* window = instance.create(&main, dialogs);
        EXPECT_EQ(window->windowTitle(), instance.caption);
        EXPECT_EQ(window->size(), QSize(393, 280)) << name;
        EXPECT_EQ(ListEntries(window->CAlgorithmCBx), instance.list) << name;
        EXPECT_EQ(window->CAlgorithmCBx->currentText(), instance.cipher) << name;
        EXPECT_EQ(QString::fromStdString(window->SelectedCipher().Algorithm()), instance.cipher) << name;
        EXPECT_FALSE(window->SelectedCipher().Initialized()) << name;
        EXPECT_EQ(window->CAlgorithmCBx->geometry(), QRect(instance.listLeft, 256, 225, 24)) << name;
        EXPECT_TRUE(window->CAlgorithmCBx->isHidden()) << name;
    }
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(FileWindow, EncryptsAndDecryptsThroughTheWindowInEveryInstance)
{
    const QByteArray plain("The quick brown fox jumps over the lazy dog \x00\xff\x80", 47);
    Write(Path("plain"), plain);
    for (const Instance& instance : kInstances) {
        const std::string name = instance.caption.toStdString();
        FileEncryptionWindow* window = Open(instance);
        dialogs.informations.clear();
        Run(window, window->CEncryptBtn, Path("plain"), Path("sealed"), "pass phrase");
        Run(window, window->CDecryptBtn, Path("sealed"), Path("opened"), "pass phrase");
        EXPECT_EQ(dialogs.informations, (std::vector<QString>{"File Encrypted", "File Decrypted"})) << name;
        EXPECT_EQ(Read(Path("sealed")).size(), plain.size() + 32) << name;
        EXPECT_EQ(Read(Path("opened")), plain) << name;
        EXPECT_EQ(dialogs.lastParent, window);
        window->close();
    }
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(FileWindow, AFileIsRefusedByEveryOtherCipher)
{
    Write(Path("plain"), "secret");
    FileEncryptionWindow* twofish = Open(kInstances[5]);
    Run(twofish, twofish->CEncryptBtn, Path("plain"), Path("sealed"), "pw");
    ASSERT_EQ(dialogs.informations, std::vector<QString>{"File Encrypted"});
    for (const Instance& instance : kInstances) {
        FileEncryptionWindow* window = Open(instance);
        dialogs.informations.clear();
        Run(window, window->CDecryptBtn, Path("sealed"), Path("out"), "pw");
        // The box names the window that opens the file.
        const QString expected = instance.cipher == "Twofish"
                                     ? "File Decrypted"
                                     : "Incorrect Passphrase\nThe file opens in the Twofish Encryption window.";
        EXPECT_EQ(dialogs.informations, std::vector<QString>{expected}) << instance.caption.toStdString();
    }
}

TEST_F(FileWindow, OutcomeMessagesAndFocusMoves)
{
    Write(Path("plain"), "data");
    const QString missingFolder = Path("no such folder/out");
    struct Case {
        const char* what;
        int instance;
        bool encrypt;
        QString in, out, passphrase;
        QString message;
        const char* focus;  // "in" or "out"; never the button, where a typed space would run again
        bool outSelected;
    };
    const Case cases[] = {
        {"empty input", 0, true, "", Path("out"), "", "No Filenames selected!!", "in", false},
        {"empty output", 0, false, Path("plain"), "", "", "No Filenames selected!!", "out", false},
        {"same names", 0, true, Path("plain"), Path("plain"), "",
         "File to be Encrypted/Decrypted and Output File must be different", "out", true},
        {"same names", 0, false, Path("plain"), Path("plain"), "",
         "The Output Filename must be different from the Input Filename", "out", true},
        {"missing input", 0, true, Path("nothing"), Path("out"), "", "Unable to open the Input File", "in", false},
        {"missing folder", 0, true, Path("plain"), missingFolder, "", "Unable to open the Output File", "in", false},
        {"missing folder", 1, true, Path("plain"), missingFolder, "", "Unable to open then Output File", "in", false},
        {"missing folder", 1, false, Path("plain"), missingFolder, "", "Unable to open the Output File", "in", false},
    };
    for (const Case& c : cases) {
        FileEncryptionWindow* window = Open(kInstances[c.instance]);
        QPushButton* button = c.encrypt ? window->CEncryptBtn : window->CDecryptBtn;
        window->CInFileBox->setText(c.in);
        window->COutFileBox->setText(c.out);
        window->CPassphraseBox->setText(c.passphrase);
        dialogs.informations.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(WaitForRun(window));
        const std::string what = std::string(c.what) + (c.encrypt ? " encrypting in " : " decrypting in ") +
                                 window->windowTitle().toStdString();
        EXPECT_EQ(dialogs.informations, std::vector<QString>{c.message}) << what;
        QWidget* const focus = std::string(c.focus) == "in" ? window->CInFileBox : window->COutFileBox;
        EXPECT_EQ(window->focusWidget(), focus) << what;
        EXPECT_EQ(window->COutFileBox->selectedText(), c.outSelected ? c.out : QString()) << what;
        EXPECT_EQ(window->CInFileBox->text(), c.in) << "boxes keep their texts";
        EXPECT_EQ(window->COutFileBox->text(), c.out);
        window->close();
    }
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(FileWindow, WrongPassphraseAndShortFileThenTheWindowGoesOn)
{
    Write(Path("plain"), "data");
    Write(Path("short"), QByteArray(31, 'x'));
    FileEncryptionWindow* window = Open(kInstances[0]);
    Run(window, window->CEncryptBtn, Path("plain"), Path("sealed"), "right");
    Run(window, window->CDecryptBtn, Path("sealed"), Path("out"), "wrong");
    EXPECT_EQ(dialogs.informations, (std::vector<QString>{"File Encrypted", "Incorrect Passphrase"}));
    EXPECT_EQ(window->focusWidget(), window->CInFileBox);

    // A read failure is raised, not returned: the error box shows it, and no information box.
    Run(window, window->CDecryptBtn, Path("short"), Path("out"), "right");
    EXPECT_EQ(dialogs.errors, std::vector<QString>{"Lesen nach Dateiende (EOF)"});
    EXPECT_EQ(dialogs.informations.size(), 2u);
    EXPECT_EQ(dialogs.lastParent, window);
    Run(window, window->CDecryptBtn, Path("sealed"), Path("out"), "right");
    EXPECT_EQ(dialogs.informations.back(), "File Decrypted");
    EXPECT_EQ(Read(Path("out")), "data");
}

// A replaced output with other hard links is written in place, so a failure cuts it short: the
// outcome says so, and the error too.
TEST_F(FileWindow, AnOutputWrittenInPlaceSaysSoInTheOutcomeAndTheError)
{
    Write(Path("plain"), "data");
    Write(Path("short"), QByteArray(31, 'x'));
    Write(Path("out"), "old output");
    ASSERT_EQ(::link(QFile::encodeName(Path("out")).constData(), QFile::encodeName(Path("link")).constData()), 0);
    const QString notice = "\n\n" + Path("out") + ": written in place (it has other hard links)";
    FileEncryptionWindow* window = Open(kInstances[0]);
    Run(window, window->CEncryptBtn, Path("plain"), Path("out"), "pw");
    EXPECT_EQ(dialogs.informations, std::vector<QString>{"File Encrypted" + notice});
    EXPECT_EQ(Read(Path("link")).size(), 4 + 32) << "both names hold the new file";
    Run(window, window->CDecryptBtn, Path("short"), Path("out"), "pw");
    EXPECT_EQ(dialogs.errors, std::vector<QString>{"Lesen nach Dateiende (EOF)" + notice});
}

TEST_F(FileWindow, BrowseDialogsOfferTheLastNameAndCancelChangesNothing)
{
    FileEncryptionWindow* window = Open(kInstances[0]);
    dialogs.fileAnswers = {"/tmp/first in", "/tmp/first out", QString(), QString(), "/tmp/second in"};
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(window->CInBrowseBtn, Qt::LeftButton);
        QTest::mouseClick(window->COutBrowseBtn, Qt::LeftButton);
        EXPECT_EQ(window->CInFileBox->text(), "/tmp/first in") << "cancelled: " << i;
        EXPECT_EQ(window->COutFileBox->text(), "/tmp/first out");
    }
    QTest::mouseClick(window->CInBrowseBtn, Qt::LeftButton);
    EXPECT_EQ(window->CInFileBox->text(), "/tmp/second in");

    const QString offered[] = {"", "", "/tmp/first in", "/tmp/first out", "/tmp/first in"};
    ASSERT_EQ(dialogs.fileRequests.size(), std::size(offered));
    for (std::size_t i = 0; i < std::size(offered); ++i) {
        EXPECT_EQ(dialogs.fileRequests[i].lastName, offered[i]) << i;
        EXPECT_EQ(dialogs.fileRequests[i].filter, i % 2 == 0 ? "All Files (*.*)" : "All Files (*.*);;age files (*.age)");
        EXPECT_EQ(dialogs.fileRequests[i].defaultSuffix, "");
    }
}

// The browse buttons take no focus: Ctrl+O and Ctrl+Shift+O reach them, and a box's path,
// typed or relative, opens its dialog at its folder.
TEST_F(FileWindow, KeysBrowseAndTheDialogsOpenAtTheBoxesFolder)
{
    FileEncryptionWindow* window = Open(kInstances[0]);
    window->CInFileBox->setText(Path("typed in"));
    window->COutFileBox->setText("relative.age");
    dialogs.fileAnswers = {QString(), QString()};
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(dialogs.fileRequests.size(), 2u);
    EXPECT_EQ(dialogs.fileRequests[0].lastName, Path("typed in"));
    EXPECT_FALSE(dialogs.fileRequests[0].filterAddsSuffix);
    EXPECT_EQ(dialogs.fileRequests[1].lastName, QDir::current().absoluteFilePath("relative.age"));
    EXPECT_TRUE(dialogs.fileRequests[1].filterAddsSuffix) << "age files (*.age) adds .age";
    EXPECT_TRUE(window->CInFileBox->accessibleDescription().contains("Ctrl+O"));
    EXPECT_TRUE(window->COutFileBox->accessibleDescription().contains("Ctrl+Shift+O"));
    EXPECT_EQ(window->Button1->accessibleDescription(), "Key: Escape");

    window->COutFileBox->setText(Path("no such folder/out"));  // the last name chosen instead
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(dialogs.fileRequests.back().lastName, "");
}

// Escape closes a tool window as it closes a dialog, but leaves a file window open during its
// run, whose progress dialog then has the keyboard whenever the window is activated.
TEST_F(FileWindow, EscapeClosesTheWindowButNotDuringARunWhoseProgressTakesTheKeys)
{
    FileEncryptionWindow* window = Open(kInstances[0]);
    QTest::keyClick(window->CInFileBox, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());

    PipeInput input(Path("in").toStdString());
    input.FeedEndlessly();
    ASSERT_TRUE(ShowActive(window));
    window->SetProgressDelay(0ms);
    SetNames(window, Path("in"), Path("out"));
    QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);
    RunProgressDialog* progress = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        progress = window->findChild<RunProgressDialog*>();
        return progress && progress->isVisible();
    }));
    QWidget other;
    ASSERT_TRUE(ShowActive(&other));
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == progress; }))
        << "the window's own controls are locked: the keys go to Cancel";
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible() && window->Running());
    QTest::keyClick(progress, Qt::Key_Escape);
    ASSERT_TRUE(WaitForRun(window));
    EXPECT_EQ(Entries(), QStringList{"in"});
    EXPECT_TRUE(window->isVisible());
}

TEST_F(FileWindow, TextsSurviveCloseAndShowAndTabCyclesThroughTheControls)
{
    FileEncryptionWindow* window = Open(kInstances[4]);
    EXPECT_EQ(QApplication::focusWidget(), window->CDecryptBtn);
    const auto cycle = TabCycle(window, 6);
    const std::vector<QWidget*> expected = {window->CDecryptBtn,    window->CEncryptBtn, window->COutFileBox,
                                            window->CInFileBox,     window->CPassphraseBox, window->Button1,
                                            window->CDecryptBtn};
    EXPECT_EQ(cycle, expected);

    QTest::keyClicks(window->CInFileBox, "in name");
    QTest::keyClicks(window->COutFileBox, "out name");
    QTest::keyClicks(window->CPassphraseBox, "visible words");
    EXPECT_EQ(window->CPassphraseBox->displayText(), "visible words");
    window->CInFileBox->setFocus();
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    window->ShowTool();
    ASSERT_TRUE(WaitUntilActive(window));
    EXPECT_EQ(window->CInFileBox->text(), "in name");
    EXPECT_EQ(window->COutFileBox->text(), "out name");
    EXPECT_EQ(window->CPassphraseBox->text(), "visible words");
}

TEST_F(FileWindow, ACancelledRunLeavesTheFolderAndAnExistingOutputAsTheyWere)
{
    Write(Path("out"), "old output");
    PipeInput input(Path("in").toStdString());
    input.FeedEndlessly();
    FileEncryptionWindow* window = Open(kInstances[0]);
    window->SetProgressDelay(0ms);
    SetNames(window, Path("in"), Path("out"));
    window->COutBrowseBtn->setEnabled(false);  // disabled before the run, so after it too
    const QList<QWidget*> controls = {window->CInFileBox,   window->COutFileBox, window->CPassphraseBox,
                                      window->CInBrowseBtn, window->CEncryptBtn, window->CDecryptBtn,
                                      window->Button1};
    const QList<QWidget*> pictures = {window->Image1, window->Label1, window->Label2, window->Label3};
    const QImage background = window->Image1->grab().toImage();
    const auto enabled = [&] {
        QList<QWidget*> found;
        for (QWidget* control : controls)
            if (control->isEnabled()) found.append(control);
        return found;
    };
    QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);

    RunProgressDialog* progress = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        progress = window->findChild<RunProgressDialog*>();
        return progress && progress->isVisible() && progress->Text->text().contains("MB/s");
    }));
    // A modal dialog would block the main window as well; the file window's controls are
    // locked instead.
    EXPECT_EQ(progress->windowModality(), Qt::NonModal);
    EXPECT_EQ(enabled(), QList<QWidget*>{});
    EXPECT_FALSE(window->acceptDrops());
    for (QWidget* picture : pictures) EXPECT_TRUE(picture->isEnabled()) << "the picture is not locked";
    EXPECT_EQ(window->Image1->grab().toImage(), background);
    EXPECT_TRUE(progress->CancelButton->isEnabled());
    EXPECT_EQ(progress->Bar->maximum(), 0) << "a pipe's size is unknown: a busy bar";
    EXPECT_EQ(window->cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the other windows keep their cursor";

    QTest::mouseClick(progress->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(WaitForRun(window));
    EXPECT_EQ(Entries(), (QStringList{"in", "out"}));
    EXPECT_EQ(Read(Path("out")), "old output");
    EXPECT_TRUE(dialogs.informations.empty()) << "no outcome box after Cancel";
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(window->findChild<RunProgressDialog*>(), nullptr);
    EXPECT_EQ(enabled(), controls);
    EXPECT_FALSE(window->COutBrowseBtn->isEnabled());
    EXPECT_TRUE(window->acceptDrops());
    EXPECT_EQ(window->focusWidget(), window->CInFileBox) << "off the button, where a typed space would run again";
}

TEST_F(FileWindow, ARunningWindowAnswersEventsAndIgnoresFurtherClicks)
{
    PipeInput input(Path("in").toStdString());
    input.FeedEndlessly();
    FileEncryptionWindow* window = Open(kInstances[0]);
    SetNames(window, Path("in"), Path("sealed"));
    QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);
    bool timerFired = false;
    QTimer::singleShot(20, window, [&] { timerFired = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return timerFired; }));
    EXPECT_TRUE(window->Running());

    // A second run would cancel or disturb the first, and a decryption of the zeros would
    // end with a wrong passphrase.
    QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);
    QTest::mouseClick(window->CDecryptBtn, Qt::LeftButton);
    input.End();
    ASSERT_TRUE(WaitForRun(window));
    EXPECT_EQ(dialogs.informations, std::vector<QString>{"File Encrypted"});
    EXPECT_EQ(Entries(), (QStringList{"in", "sealed"}));
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(FileWindow, AWindowDestroyedDuringARunStopsItFirst)
{
    PipeInput input(Path("in").toStdString());
    input.FeedEndlessly();
    FileEncryptionWindow* window = Open(kInstances[0]);
    window->SetProgressDelay(0ms);
    SetNames(window, Path("in"), Path("out"));
    QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChild<RunProgressDialog*>()->isVisible(); }));
    delete window;
    QTest::qWait(10);  // a queued report of the run would arrive now
    EXPECT_EQ(Entries(), QStringList{"in"});
    EXPECT_TRUE(dialogs.informations.empty() && dialogs.errors.empty());
}

// Closing only hides a window: its run goes on and its progress stays on the screen. When the
// run ends the window comes back: with its outcome at once when the user watched the progress,
// else marked for attention, the outcome waiting for its activation.
TEST_F(FileWindow, AWindowClosedDuringARunKeepsItAndShowsTheOutcome)
{
    const std::string chunk(60000, 'z');
    for (const bool watched : {false, true}) {
        SCOPED_TRACE(watched ? "the progress watched" : "the user elsewhere");
        dialogs.informations.clear();
        const QString name = watched ? "watched" : "elsewhere";
        PipeInput input(Path(name).toStdString());
        input.Write(chunk);
        FileEncryptionWindow* window = Open(kInstances[0]);
        window->SetProgressDelay(0ms);
        SetNames(window, Path(name), Path(name + ".out"));
        QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);
        RunProgressDialog* progress = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            progress = window->findChild<RunProgressDialog*>();
            return progress && progress->isVisible();
        }));
        window->close();
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(progress->isVisible()) << "the progress stays in reach";
        QWidget other;
        ASSERT_TRUE(ShowActive(watched ? static_cast<QWidget*>(progress) : &other));
        ASSERT_TRUE(QTest::qWaitFor([&] { return input.OpenedByReader(); }));
        EXPECT_TRUE(window->Running());

        input.End();
        ASSERT_TRUE(WaitForRun(window));
        EXPECT_TRUE(window->isVisible()) << "back for its outcome";
        EXPECT_EQ(window->OutcomePending(), !watched);
        ASSERT_TRUE(ShowActive(window));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->OutcomePending(); }));
        EXPECT_EQ(dialogs.informations, std::vector<QString>{"File Encrypted"});
        EXPECT_EQ(dialogs.lastParent, window);
        EXPECT_EQ(Read(Path(name + ".out")).size(), static_cast<qsizetype>(chunk.size() + 32));
    }
}

// The outcome of a window the user is not at waits for that window: keys typed elsewhere never
// reach its box, and two runs ending together give one box each, over its own window.
TEST_F(FileWindow, TheOutcomeOfAWindowNotActiveWaitsForItsActivation)
{
    PipeInput firstInput(Path("first").toStdString()), secondInput(Path("second").toStdString());
    FileEncryptionWindow* first = Open(kInstances[0]);
    SetNames(first, Path("first"), Path("first.out"));
    QTest::mouseClick(first->CEncryptBtn, Qt::LeftButton);
    FileEncryptionWindow* second = Open(kInstances[3]);
    SetNames(second, Path("second"), Path("second.out"));
    QTest::mouseClick(second->CEncryptBtn, Qt::LeftButton);
    QLineEdit typing;
    ASSERT_TRUE(ShowActive(&typing));
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstInput.OpenedByReader() && secondInput.OpenedByReader(); }));

    firstInput.End();
    secondInput.End();
    ASSERT_TRUE(WaitForRun(first) && WaitForRun(second));
    QTest::keyClicks(&typing, "still typing");
    QTest::qWait(20);
    EXPECT_TRUE(dialogs.informations.empty()) << "no box over the window in use";
    EXPECT_TRUE(first->OutcomePending() && second->OutcomePending());
    EXPECT_EQ(typing.text(), "still typing");
    EXPECT_TRUE(typing.isActiveWindow());
    QTest::mouseClick(first->CEncryptBtn, Qt::LeftButton);  // not activated: no new run
    EXPECT_FALSE(first->Running());

    for (FileEncryptionWindow* window : {second, first}) {
        ASSERT_TRUE(ShowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->OutcomePending(); }));
        EXPECT_EQ(dialogs.lastParent, window);
        EXPECT_EQ(window->focusWidget(), window->CInFileBox);
    }
    EXPECT_EQ(dialogs.informations, (std::vector<QString>{"File Encrypted", "File Encrypted"}));
    EXPECT_EQ(Entries(), (QStringList{"first", "first.out", "second", "second.out"}));
}

TEST_F(FileWindow, ADroppedFileNamesTheBoxItLandsOnOrElseTheInput)
{
    Write(Path("plain text"), "data");
    const QString plain = QUrl::fromLocalFile(Path("plain text")).toString();
    const QString sealed = QUrl::fromLocalFile(Path("sealed")).toString();
    FileEncryptionWindow* window = Open(kInstances[0]);
    struct Case {
        QWidget* where;
        QStringList addresses;
        QString in, out;
        bool refused = false;
    };
    const Case cases[] = {
        {window->CInFileBox, {plain}, Path("plain text"), ""},
        {window->COutFileBox, {sealed}, Path("plain text"), Path("sealed")},
        // Refused as they hover, so no drop arrives (nor its error box): a source that keeps the
        // action accepted while hovering is never told of a copy.
        {window->COutFileBox, {"https://example.com/rand.bin"}, Path("plain text"), Path("sealed"), true},
        {window->COutFileBox, {"file://server/share/rand.bin"}, Path("plain text"), Path("sealed"), true},
        {window->CInFileBox, {plain, sealed}, Path("plain text"), Path("sealed"), true},
        {window->CPassphraseBox, {sealed}, Path("sealed"), Path("sealed")},
        {window->Label3, {plain}, Path("plain text"), Path("sealed")},
    };
    for (const Case& c : cases) {
        const std::string what = c.addresses.join(' ').toStdString() + " on " + c.where->metaObject()->className();
        EXPECT_EQ(DropAddresses(window, CentreOf(c.where), c.addresses),
                  c.refused ? Qt::IgnoreAction : Qt::CopyAction) << "never a move; " << what;
        EXPECT_EQ(window->CInFileBox->text(), c.in) << what;
        EXPECT_EQ(window->COutFileBox->text(), c.out) << what;
    }
    EXPECT_EQ(window->CPassphraseBox->text(), "");
    EXPECT_TRUE(dialogs.errors.empty());

    QTest::keyClicks(window->CPassphraseBox, "pw");
    QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);
    ASSERT_TRUE(WaitForRun(window));
    EXPECT_EQ(dialogs.informations, std::vector<QString>{"File Encrypted"});
}

TEST_F(FileWindow, AgeFilesUnderThePassphraseWhateverCipherIsChosen)
{
    Write(Path("plain"), "age data \xC3\xA9");
    // Typed as a user would, but set at once: the test keyboard has no accented letters.
    const auto Run = [this](FileEncryptionWindow* window, QPushButton* button, const QString& in, const QString& out,
                            const QString& passphrase) {
        SetNames(window, in, out);
        window->CPassphraseBox->setText(passphrase);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(WaitForRun(window));
        // The key derivation takes long enough for the progress box to show and take the
        // activation with it; the outcome waits for the window to be active again.
        EXPECT_TRUE(ShowActive(window));
        QCoreApplication::processEvents();
    };
    // The ending in any case; the empty passphrase is refused, as no age tool would open the file.
    FileEncryptionWindow* blowfish = Open(kInstances[0]);
    Run(blowfish, blowfish->CEncryptBtn, Path("plain"), Path("empty.age"), "");
    EXPECT_EQ(dialogs.errors,
              std::vector<QString>{"An age file needs a passphrase: no age tool opens one under the empty passphrase."});
    dialogs.errors.clear();
    Run(blowfish, blowfish->CEncryptBtn, Path("plain"), Path("sealed.AGE"), "caf\u00e9");
    const QByteArray sealed = Read(Path("sealed.AGE"));
    EXPECT_TRUE(sealed.startsWith("age-encryption.org/v1\n-> scrypt ")) << sealed.left(60).toStdString();
    EXPECT_TRUE(sealed.contains(" 18\n")) << "the work factor";

    // Another window and cipher open it with the same passphrase, as UTF-8; a wrong one is told
    // as for any file.
    FileEncryptionWindow* rijndael = Open(kInstances[3]);
    Run(rijndael, rijndael->CDecryptBtn, Path("sealed.AGE"), Path("wrong"), "cafe");
    Run(rijndael, rijndael->CDecryptBtn, Path("sealed.AGE"), Path("out"), "caf\u00e9");
    EXPECT_EQ(dialogs.informations,
              (std::vector<QString>{"File Encrypted (age format)", "Incorrect Passphrase", "File Decrypted"}));
    EXPECT_EQ(Read(Path("out")), "age data \xC3\xA9");

    // A file for a key, and a damaged one, get an error box and leave nothing.
    AgeProtection toKey;
    toKey.recipients = {RecipientOf(GenerateX25519Identity())};
    ASSERT_EQ(EncryptAgeFile(Path("plain").toStdString(), Path("keyed.age").toStdString(), toKey),
              FileOpResult::Encrypted);
    QByteArray damaged = sealed;
    damaged[damaged.size() - 1] = static_cast<char>(damaged[damaged.size() - 1] ^ 1);
    Write(Path("damaged.age"), damaged);
    // The box for a file that needs a key file offers to open it in the age window.
    QStringList opened;
    rijndael->SetKeyFileOpener([&opened](const QString& name) { opened << name; });
    dialogs.offerAnswers = {true};
    Run(rijndael, rijndael->CDecryptBtn, Path("keyed.age"), Path("new1"), "caf\u00e9");
    EXPECT_EQ(dialogs.offers, std::vector<QString>{"Open in the age window"});
    EXPECT_EQ(opened, QStringList{Path("keyed.age")});
    Run(rijndael, rijndael->CDecryptBtn, Path("damaged.age"), Path("new2"), "caf\u00e9");
    EXPECT_EQ(dialogs.offers.size(), 1u) << "offered only for a key file";
    ASSERT_EQ(dialogs.errors.size(), 2u);
    // The command on a line of its own, with no full stop that could be taken for part of it.
    EXPECT_EQ(dialogs.errors[0], "This age file opens with a key file, not a passphrase. On the command line:\n"
                                 "zorvanta-cli decrypt -i KEYFILE INPUT OUTPUT");
    const QString chunk = QString("Chunk 1 (at byte %1) failed to authenticate.").arg(sealed.indexOf("\n---") + 65);
    EXPECT_EQ(dialogs.errors[1], "The age file is damaged: nothing was written.\n" + chunk);
    EXPECT_EQ(dialogs.lastDescription, "Zorvanta - Rijndael Encryption: " + Path("damaged.age") + " to " + Path("new2"));
    EXPECT_EQ(Entries(), (QStringList{"damaged.age", "keyed.age", "out", "plain", "sealed.AGE"}));
}

// Encrypting a legacy file to age under its own passphrase offers to move it instead: Yes
// decrypts it in memory straight into a verified age file; No wraps the legacy bytes as asked.
TEST_F(FileWindow, ALegacyFileEncryptedToAgeIsMovedWhenTheUserSaysYes)
{
    Write(Path("plain"), "the report");
    FileEncryptionWindow* blowfish = Open(kInstances[0]);
    Run(blowfish, blowfish->CEncryptBtn, Path("plain"), Path("old.zv"), "pw");
    const QByteArray legacy = Read(Path("old.zv"));
    FileEncryptionWindow* gost = Open(kInstances[1]);
    const auto Encrypt = [&](const QString& out, const QString& passphrase) {
        SetNames(gost, Path("old.zv"), out);
        gost->CPassphraseBox->setText(passphrase);
        QTest::mouseClick(gost->CEncryptBtn, Qt::LeftButton);
        EXPECT_TRUE(WaitForRun(gost));
        EXPECT_TRUE(ShowActive(gost));  // the outcome waits for the window after the key derivation
        QCoreApplication::processEvents();
    };
    const auto Opened = [&](const QString& name) {
        const std::string out = Path("opened").toStdString();
        Unlocking unlocking;
        unlocking.passphrase = [] { return std::optional<SecretBytes>(SecretBytes{'p', 'w'}); };
        EXPECT_EQ(DecryptAgeFile(name.toStdString(), out, unlocking), FileOpResult::Decrypted);
        const QByteArray bytes = Read(Path("opened"));
        QFile::remove(Path("opened"));
        return bytes;
    };
    dialogs.informations.clear();
    dialogs.questionAnswers = {true, false};
    Encrypt(Path("old.zv.age"), "pw");
    Encrypt(Path("wrapped.age"), "pw");
    Encrypt(Path("other.age"), "another");  // no cipher fits: nothing is asked
    EXPECT_EQ(dialogs.questions, (std::vector<QString>{"This file is already encrypted (Blowfish). Move it to age instead?",
                                                       "This file is already encrypted (Blowfish). Move it to age instead?"}));
    EXPECT_EQ(dialogs.informations, std::vector<QString>(3, "File Encrypted (age format)"));
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(Opened(Path("old.zv.age")), "the report");
    EXPECT_EQ(Opened(Path("wrapped.age")), legacy);
    EXPECT_EQ(Entries(), (QStringList{"old.zv", "old.zv.age", "other.age", "plain", "wrapped.age"}));
}

// What the screen shows of a window, as composed by the platform, not drawn anew as grab() does.
QImage OnScreen(QWidget* window)
{
    QCoreApplication::processEvents();
    return window->screen()->grabWindow(window->winId()).toImage();
}

// The captions are labels drawn straight onto the picture: a run, even one that ends at once,
// must not make the window's controls native windows of their own (on X11 a native label shows
// black or stale pixels where the picture should be, once the window is shown again).
TEST_F(FileWindow, ARunLeavesTheWindowsPictureAsItWasAfterACloseAndReopen)
{
    FileEncryptionWindow* window = Open(kInstances[0]);
    window->SetProgressDelay(0ms);
    const QImage before = OnScreen(window);
    QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);
    ASSERT_TRUE(WaitForRun(window));
    ASSERT_EQ(dialogs.informations, std::vector<QString>{"No Filenames selected!!"});
    window->close();
    window->ShowTool();
    ASSERT_TRUE(WaitUntilActive(window));
    window->CDecryptBtn->setFocus();  // where the focus was before the run
    for (const QWidget* owner : {static_cast<QWidget*>(window), static_cast<QWidget*>(&main)}) {
        for (const QWidget* child : owner->findChildren<QWidget*>()) {
            if (child->isWindow() || child->window() != owner) continue;
            EXPECT_FALSE(child->testAttribute(Qt::WA_NativeWindow)) << child->metaObject()->className();
        }
    }
    const QImage after = OnScreen(window);
    ASSERT_EQ(after.size(), before.size());
    int different = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) different += before.pixel(x, y) != after.pixel(x, y);
    EXPECT_EQ(different, 0);
}
