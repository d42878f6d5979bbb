// The age window's pages driven as a user would, on files that Debian's age and age-keygen make
// and open: keys, encryption for recipients and passphrases, decryption with plain and
// protected key files, legacy trees moved to age, a cancelled batch, and nothing kept in HOME.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "age/agefile.h"
#include "cipher/registry.h"
#include "fileenc/fileop.h"
#include "fileenc/passphrase.h"
#include "gui/agewindow/agewindow.h"
#include "support/fakedialogs.h"
#include "support/tempdir.h"
#include "support/terminal.h"
#include "support/windowtest.h"

namespace fs = std::filesystem;

namespace {
const std::string kPassphrase = "corr\xc3\xa9" "ct horse";  // hashed differently by the two formats

const std::string& WriteText(const std::string& path, const std::string& text)
{
    WriteFile(path, Bytes(text.begin(), text.end()));
    return path;
}

class AgePages : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ShowActive(window)); }
    void TearDown() override
    {
        window->CancelRun();
        const char* home = std::getenv("HOME");
        ASSERT_TRUE(home);
        EXPECT_TRUE(fs::is_empty(home)) << "the window keeps nothing between runs";
    }

    QString At(const std::string& name) const { return QString::fromStdString(dir.path(name)); }
    void List(std::initializer_list<std::string> names)
    {
        window->Files->clear();
        for (const std::string& name : names) window->Files->Add({At(name)});
    }
    // Presses a page's button and waits for the batch to end; the summary line.
    std::string Run(QPushButton* button)
    {
        EXPECT_TRUE(button->isEnabled()) << button->text().toStdString();
        button->click();
        EXPECT_TRUE(QTest::qWaitFor([this] { return !window->Running(); }, 120000));
        QCoreApplication::processEvents();
        return window->Summary->text().toStdString();
    }
    std::vector<std::string> Outcomes() const
    {
        std::vector<std::string> rows;
        for (int i = 0; i < window->Outcomes->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = window->Outcomes->topLevelItem(i);
            rows.push_back(fs::path(row->text(0).toStdString()).filename().string() + " " + row->text(1).toStdString());
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    // A key made by age-keygen; its recipient.
    std::string KeyGen(const std::string& name) const
    {
        EXPECT_EQ(Shell("age-keygen -o " + dir.path(name) + " 2>/dev/null"), 0);
        EXPECT_EQ(Shell("age-keygen -y -o " + dir.path(name + ".pub") + " " + dir.path(name)), 0);
        std::string recipient = TextOf(dir.path(name + ".pub"));
        recipient.pop_back();
        return recipient;
    }
    // Debian's age decrypts file into out, with a key file or typing the passphrase.
    void AgeOpens(const std::string& file, const std::string& keyFile, const std::string& expected) const
    {
        const std::string out = dir.path("opened");
        const std::string command = "age -d " + (keyFile.empty() ? "" : "-i " + keyFile + " ") + file + " > " + out;
        if (keyFile.empty()) {
            const TerminalRun run = ShellOnTerminal(command, {kPassphrase});
            ASSERT_EQ(run.status, 0) << run.shown;
        } else {
            ASSERT_EQ(Shell(command), 0);
        }
        EXPECT_EQ(TextOf(out), expected) << file;
        fs::remove(out);
    }
    void Type(QLineEdit* box, const std::string& text) { box->setText(QString::fromStdString(text)); }

    TempDir dir;
    QWidget main;
    FakeDialogs dialogs;
    AgeWindow* window = new AgeWindow(&main, dialogs);
};
}  // namespace

TEST_F(AgePages, KeysGeneratesAPrivateKeyFileShowsAndCopiesItsPublicKeyAndRefusesAnExistingFile)
{
    window->Pages->setCurrentIndex(static_cast<int>(AgePage::Keys));
    EXPECT_FALSE(window->KeysCopy->isEnabled());
    window->KeysGenerate->click();
    ASSERT_EQ(dialogs.errors.size(), 1u) << "no name yet";

    dialogs.fileAnswers = {At("key.txt")};
    for (QPushButton* button : window->Pages->widget(3)->findChildren<QPushButton*>())
        if (button->text() == "Browse...") button->click();
    EXPECT_EQ(window->KeysKeyFile->text(), At("key.txt"));
    window->KeysGenerate->click();
    ASSERT_EQ(dialogs.errors.size(), 1u) << dialogs.errors.back().toStdString();
    struct stat info;
    ASSERT_EQ(::stat(dir.path("key.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(Shell("age-keygen -y -o " + dir.path("key.pub") + " " + dir.path("key.txt")), 0);
    EXPECT_EQ(window->KeysPublicKey->text().toStdString() + "\n", TextOf(dir.path("key.pub")));
    EXPECT_TRUE(window->KeysPublicKey->isReadOnly());
    window->KeysCopy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), window->KeysPublicKey->text());

    const std::string before = TextOf(dir.path("key.txt"));
    window->KeysGenerate->click();
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_TRUE(dialogs.errors.back().contains("exists")) << dialogs.errors.back().toStdString();
    EXPECT_EQ(TextOf(dir.path("key.txt")), before);

    Type(window->KeysKeyFile, dir.path("nothing"));
    EXPECT_TRUE(window->KeysPublicKey->text().isEmpty());
    EXPECT_FALSE(window->KeysCopy->isEnabled());
}

TEST_F(AgePages, EncryptsATreeForARecipientAndAFileForAPassphraseWhichAgeOpens)
{
    const std::string recipient = KeyGen("key");
    fs::create_directories(dir.path("tree/sub"));
    WriteText(dir.path("tree/one"), "first");
    WriteText(dir.path("tree/sub/two"), "second");
    List({"tree"});
    window->EncRecipientsChoice->setChecked(true);
    EXPECT_FALSE(window->EncEncrypt->isEnabled()) << "no recipient yet";
    window->EncRecipients->setPlainText(QString::fromStdString("# my laptop\n\n" + recipient + "\n"));
    window->EncArmor->setChecked(true);
    EXPECT_EQ(Run(window->EncEncrypt).substr(0, 30), "2 encrypted, 0 skipped, 0 fail");
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"one done", "two done"}));
    EXPECT_TRUE(TextOf(dir.path("tree/one.age")).starts_with("-----BEGIN AGE ENCRYPTED FILE-----"));
    AgeOpens(dir.path("tree/one.age"), dir.path("key"), "first");
    AgeOpens(dir.path("tree/sub/two.age"), dir.path("key"), "second");

    // A passphrase, into an output folder; the button waits until both boxes agree.
    WriteText(dir.path("note"), "a note");
    List({"note"});
    window->EncPassphraseChoice->setChecked(true);
    window->EncArmor->setChecked(false);
    Type(window->EncPassphrase, kPassphrase);
    EXPECT_FALSE(window->EncEncrypt->isEnabled());
    Type(window->EncPassphraseAgain, kPassphrase + "x");
    EXPECT_FALSE(window->EncEncrypt->isEnabled());
    Type(window->EncPassphraseAgain, kPassphrase);
    fs::create_directory(dir.path("out"));
    Type(window->EncOutputFolder, dir.path("out"));
    EXPECT_EQ(Run(window->EncEncrypt).substr(0, 30), "1 encrypted, 0 skipped, 0 fail");
    EXPECT_TRUE(window->EncPassphrase->text().isEmpty() && window->EncPassphraseAgain->text().isEmpty())
        << "wiped when the run starts";
    AgeOpens(dir.path("out/note.age"), "", "a note");

    // A wrong recipient line is an error box, and nothing runs.
    window->EncRecipientsChoice->setChecked(true);
    window->EncRecipients->setPlainText("age1nonsense");
    window->EncEncrypt->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors.back().startsWith("Recipients: ")) << dialogs.errors.back().toStdString();
    EXPECT_FALSE(window->Running());
}

TEST_F(AgePages, DecryptsFilesOfAgeWithPlainAndProtectedKeyFilesAndLegacyFilesWithAPassphrase)
{
    const std::string recipient = KeyGen("key");
    WriteText(dir.path("plain"), "for the key");
    ASSERT_EQ(Shell("age -r " + recipient + " -o " + dir.path("r.age") + " " + dir.path("plain")), 0);
    ASSERT_EQ(Shell("age -a -r " + recipient + " -o " + dir.path("a.age") + " " + dir.path("plain")), 0);
    ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("legacy"), PassphraseBytes(kPassphrase), *CreateCipher("Twofish")),
              FileOpResult::Encrypted);
    fs::create_directory(dir.path("out"));

    List({"r.age", "a.age", "legacy"});
    window->Pages->setCurrentIndex(static_cast<int>(AgePage::Decrypt));
    Type(window->DecKeyFile, dir.path("key"));
    Type(window->DecPassphrase, kPassphrase);
    Type(window->DecOutputFolder, dir.path("out"));
    EXPECT_EQ(Run(window->DecDecrypt).substr(0, 30), "3 decrypted, 0 skipped, 0 fail");
    for (const char* name : {"out/r", "out/a", "out/legacy"}) EXPECT_EQ(TextOf(dir.path(name)), "for the key") << name;

    // The key file itself under a passphrase, as age -p makes it: asked for in a box.
    AgeProtection protection;
    protection.passphrase = ToSecretBytes("key pass");
    protection.workFactor = 10;
    ASSERT_EQ(EncryptAgeFile(dir.path("key"), dir.path("key.age"), protection), FileOpResult::Encrypted);
    fs::remove_all(dir.path("out"));
    List({"r.age"});
    Type(window->DecKeyFile, dir.path("key.age"));
    Type(window->DecOutputFolder, "");
    dialogs.passphraseAnswers = {"key pass"};
    EXPECT_EQ(Run(window->DecDecrypt).substr(0, 30), "1 decrypted, 0 skipped, 0 fail");
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions.front().contains("key.age"));
    EXPECT_EQ(TextOf(dir.path("r")), "for the key");

    // A cancelled passphrase box: the key file does not open, and nothing runs.
    fs::remove(dir.path("r"));
    window->DecDecrypt->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors.back().startsWith(At("key.age") + ": ")) << dialogs.errors.back().toStdString();
    EXPECT_FALSE(fs::exists(dir.path("r")));
}

TEST_F(AgePages, MovesALegacyTreeOfAnyCipherToAgeForARecipient)
{
    fs::create_directories(dir.path("tree/sub"));
    const std::pair<const char*, const char*> files[] = {{"tree/a", "Blowfish"}, {"tree/sub/b", "MISTY1"}};
    for (const auto& [name, cipher] : files) {
        WriteText(dir.path("plain"), std::string("text of ") + name);
        ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path(name), PassphraseBytes(kPassphrase), *CreateCipher(cipher)),
                  FileOpResult::Encrypted);
    }
    fs::remove(dir.path("plain"));
    const std::string recipient = KeyGen("key");
    List({"tree"});
    window->Pages->setCurrentIndex(static_cast<int>(AgePage::Move));
    EXPECT_TRUE(window->MoveSameChoice->isChecked());
    EXPECT_FALSE(window->MoveDeleteOriginals->isChecked());
    EXPECT_FALSE(window->MoveMove->isEnabled()) << "no legacy passphrase yet";
    Type(window->MoveLegacyPassphrase, kPassphrase);
    window->MoveRecipientsChoice->setChecked(true);
    EXPECT_FALSE(window->MoveMove->isEnabled()) << "no recipient yet";
    window->MoveRecipients->setPlainText(QString::fromStdString(recipient));
    EXPECT_EQ(Run(window->MoveMove).substr(0, 29), "2 resealed, 0 skipped, 0 fail");
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"a done", "b done"}));
    for (const auto& [name, cipher] : files) {
        AgeOpens(dir.path(name) + ".age", dir.path("key"), std::string("text of ") + name);
        EXPECT_TRUE(fs::exists(dir.path(name))) << "kept";
    }
    EXPECT_TRUE(window->MoveLegacyPassphrase->text().isEmpty()) << "wiped when the run starts";
}

TEST_F(AgePages, MovesToTheSamePassphraseResumablyAndDeletesOriginalsOnlyWhenConfirmed)
{
    WriteText(dir.path("plain"), "same passphrase");
    ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("old"), PassphraseBytes(kPassphrase), *CreateCipher("Rijndael")),
              FileOpResult::Encrypted);
    List({"old"});
    Type(window->MoveLegacyPassphrase, kPassphrase);
    EXPECT_EQ(Run(window->MoveMove).substr(0, 29), "1 resealed, 0 skipped, 0 fail");
    AgeOpens(dir.path("old.age"), "", "same passphrase");
    EXPECT_TRUE(fs::exists(dir.path("old")));

    // Again, deleting the originals: asked first; refused, nothing runs; confirmed, the age
    // file of the first run counts as done and the original goes.
    window->MoveDeleteOriginals->setChecked(true);
    Type(window->MoveLegacyPassphrase, kPassphrase);
    dialogs.confirmAnswers = {false};
    window->MoveMove->click();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions.back().startsWith("1 original will be deleted")) << dialogs.questions.back().toStdString();
    EXPECT_FALSE(window->Running());
    dialogs.confirmAnswers = {true};
    EXPECT_EQ(Run(window->MoveMove).substr(0, 47), "1 resealed (1 before this run), 0 skipped, 0 fa");
    EXPECT_FALSE(fs::exists(dir.path("old")));
    AgeOpens(dir.path("old.age"), "", "same passphrase");

    // A new passphrase must be typed twice alike.
    Type(window->MoveLegacyPassphrase, kPassphrase);
    window->MoveNewChoice->setChecked(true);
    EXPECT_FALSE(window->MoveMove->isEnabled());
    Type(window->MoveNewPassphrase, "new");
    Type(window->MoveNewPassphraseAgain, "new");
    EXPECT_TRUE(window->MoveMove->isEnabled());
}

TEST_F(AgePages, CancelMidBatchLeavesNothingBehind)
{
    const std::string recipient = KeyGen("key");
    fs::create_directory(dir.path("tree"));
    for (const char* name : {"tree/a", "tree/b", "tree/c"}) {
        fs::resize_file(WriteText(dir.path(name), ""), std::uintmax_t{4} << 30);  // sparse: costs no disk
    }
    const auto before = [this] {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path("tree"))) names.push_back(entry.path());
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto listed = before();
    List({"tree"});
    window->EncRecipientsChoice->setChecked(true);
    window->EncRecipients->setPlainText(QString::fromStdString(recipient));
    window->EncEncrypt->click();
    ASSERT_TRUE(window->Running());
    EXPECT_TRUE(window->CancelButton->isEnabled());
    EXPECT_FALSE(window->EncEncrypt->isEnabled()) << "one run at a time";
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->Progress->value() > 0; }, 60000));
    window->CancelButton->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Running(); }, 60000));
    QCoreApplication::processEvents();
    EXPECT_EQ(before(), listed);
    EXPECT_NE(window->Summary->text().indexOf("stopped"), -1) << window->Summary->text().toStdString();
    EXPECT_TRUE(window->EncEncrypt->isEnabled());
}

TEST_F(AgePages, ClosedDuringARunTheWindowKeepsItAndComesBackMarkedWithoutTheFocus)
{
    WriteText(dir.path("a"), "a");
    List({"a"});
    Type(window->EncPassphrase, kPassphrase);
    Type(window->EncPassphraseAgain, kPassphrase);
    QWidget other;
    QTest::keyClick(window->EncPassphraseAgain, Qt::Key_Return);
    EXPECT_TRUE(window->Running()) << "Enter in a box presses the page's button";
    window->close();
    ASSERT_TRUE(ShowActive(&other));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Running(); }, 60000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(fs::exists(dir.path("a.age")));
    EXPECT_TRUE(window->isVisible()) << "shown again for its outcome";
    EXPECT_TRUE(dialogs.informations.empty() && dialogs.errors.empty());
}

TEST_F(AgePages, TheFileListTakesDropsPastedNamesAndAddressesOnceEach)
{
    const QString a = At("a"), b = At("b b"), folder = At("f");
    EXPECT_EQ(DropAddresses(window, window->Files->geometry().center(),
                            {QUrl::fromLocalFile(a).toString(), QUrl::fromLocalFile(folder).toString()}),
              Qt::CopyAction);
    EXPECT_EQ(window->Files->Names(), QStringList({a, folder}));

    auto* copied = new QMimeData;  // the clipboard's from now on
    copied->setText(QUrl::fromLocalFile(b).toString() + "\n\n" + a + "\nfile://elsewhere/x\n");
    QGuiApplication::clipboard()->setMimeData(copied);
    window->Files->setFocus();
    QTest::keySequence(window->Files, QKeySequence::Paste);
    EXPECT_EQ(window->Files->Names(), QStringList({a, folder, b}));

    window->Files->setCurrentRow(0);
    window->RemoveButton->click();
    EXPECT_EQ(window->Files->Names(), QStringList({folder, b}));

    dialogs.fileAnswers = {a, b, QString()};
    window->AddFilesButton->click();
    dialogs.fileAnswers = {At("g")};
    window->AddFolderButton->click();
    EXPECT_EQ(window->Files->Names(), QStringList({folder, b, a, At("g")}));
}

TEST_F(AgePages, ControlsCarryTheirNamesAndTheTabsArePageTabs)
{
    const QStringList tabs = {"Encrypt", "Decrypt", "Move to age", "Keys"};
    ASSERT_EQ(window->Pages->count(), tabs.size());
    for (int i = 0; i < tabs.size(); ++i) EXPECT_EQ(window->Pages->tabText(i), tabs[i]);
    const std::pair<QWidget*, QString> named[] = {
        {window->Files, "Files"},           {window->EncPassphrase, "Passphrase"},
        {window->EncPassphraseAgain, "Passphrase again"}, {window->EncRecipients, "Recipients"},
        {window->EncOutputFolder, "Output folder"},       {window->DecKeyFile, "Key file"},
        {window->MoveLegacyPassphrase, "Legacy passphrase"}, {window->MoveNewPassphraseAgain, "New passphrase again"},
        {window->KeysPublicKey, "Public key"},            {window->Progress, "Progress"},
        {window->Outcomes, "Outcomes"},                   {window->Summary, "Summary"},
    };
    for (const auto& [widget, name] : named) EXPECT_EQ(widget->accessibleName(), name);
    EXPECT_TRUE(window->Summary->isReadOnly());
    EXPECT_EQ(window->EncPassphrase->echoMode(), QLineEdit::Password);
}
