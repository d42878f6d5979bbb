#include <gtest/gtest.h>

#include <functional>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include "gui/base/dialogs.h"
#include "support/windowtest.h"

namespace {
// Waits for the modal window the code under test opens, hands it to inspect and closes it.
void WhenModalOpens(const std::function<void(QWidget*)>& inspect)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        inspect(modal);
    });
    poll->start(20);
}
}  // namespace

TEST(RealDialogs, MessageBoxesShowTheirCaptionIconAndText)
{
    SetApplicationTitle("Zorvanta v1.3");
    QWidget window;
    ASSERT_TRUE(ShowActive(&window));
    struct Box {
        std::function<void()> open;
        QString caption;
        QMessageBox::Icon icon;
        QString text;
    };
    const Box boxes[] = {
        {[&] { QtDialogs().Information(&window, "File Encrypted"); }, "Information", QMessageBox::Information,
         "File Encrypted"},
        {[&] { QtDialogs().Error(&window, "Datei nicht gefunden."); }, "Zorvanta v1.3", QMessageBox::Critical,
         "Datei nicht gefunden."},
    };
    for (const Box& box : boxes) {
        bool seen = false;
        WhenModalOpens([&](QWidget* modal) {
            auto* messageBox = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(messageBox, nullptr);
            seen = true;
            EXPECT_EQ(messageBox->windowTitle(), box.caption);
            EXPECT_EQ(messageBox->icon(), box.icon);
            EXPECT_EQ(messageBox->text(), box.text);
            EXPECT_EQ(messageBox->parentWidget(), &window);
            ASSERT_EQ(messageBox->buttons().size(), 1);
            QTest::mouseClick(messageBox->buttons().front(), Qt::LeftButton);
        });
        box.open();
        EXPECT_TRUE(seen) << box.text.toStdString();
    }
}

// A box belongs to its window: centred over it, its transient child, described for screen
// readers, and wide enough for its caption beside a title bar's buttons.
TEST(RealDialogs, ABoxIsCentredOverItsWindowAndWideEnoughForItsCaption)
{
    QWidget window;
    window.setGeometry(40, 60, 300, 200);
    ASSERT_TRUE(ShowActive(&window));
    bool seen = false;
    WhenModalOpens([&](QWidget* box) {
        seen = true;
        EXPECT_EQ(box->frameGeometry().center(), window.frameGeometry().center());
        EXPECT_EQ(box->windowHandle()->transientParent(), window.windowHandle());
        EXPECT_EQ(box->accessibleDescription(), "Zorvanta - Gost Encryption: in to out");
        QFont title = box->font();
        title.setBold(true);
        EXPECT_GE(box->width(), QFontMetrics(title).horizontalAdvance("Information") + 120);
        QTest::mouseClick(qobject_cast<QMessageBox*>(box)->buttons().front(), Qt::LeftButton);
    });
    QtDialogs().Information(&window, "OK", "Zorvanta - Gost Encryption: in to out");
    EXPECT_TRUE(seen);
}

// A box that opens while the user types elsewhere must not take the next key as its answer.
TEST(RealDialogs, KeysTypedAsABoxAppearsPressNothing)
{
    QWidget window;
    ASSERT_TRUE(ShowActive(&window));
    QElapsedTimer open;
    qint64 closedAfter = -1;
    WhenModalOpens([&](QWidget* box) {
        ASSERT_NE(box->focusWidget(), nullptr);
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Escape}) {
            QTest::keyClick(box->focusWidget(), key);
            QTest::keyClick(box, key);
        }
        ASSERT_TRUE(box->isVisible()) << "a key pressed the button";
        auto* later = new QTimer;
        QObject::connect(later, &QTimer::timeout, [later, box] {
            if (!box->isVisible()) return;
            later->stop();
            later->deleteLater();
            QTest::keyClick(box->focusWidget(), Qt::Key_Space);
        });
        later->start(600);
    });
    open.start();
    QtDialogs().Information(&window, "File Encrypted");
    closedAfter = open.elapsed();
    EXPECT_GE(closedAfter, 500) << "closed by a key after the guard";
}

TEST(RealDialogs, OpenDialogListsEveryFileAndTakesANewName)
{
    QTemporaryDir folder;
    for (const char* name : {"README", "notes.txt"}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QWidget window;
    ASSERT_TRUE(ShowActive(&window));
    QStringList listed;
    WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* filters = dialog->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(filters, nullptr);
        EXPECT_EQ(filters->currentText(), "All Files (*.*)");
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        const QModelIndex root = model->index(folder.path());
        for (int wait = 0; wait < 150 && model->rowCount(root) < 2; ++wait) QTest::qWait(20);  // read in the background
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex entry = model->index(row, 0, root);
            if (model->flags(entry) & Qt::ItemIsEnabled) listed << model->fileName(entry);
        }
        auto* nameBox = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(nameBox, nullptr);
        // The name chosen last time is offered; the folder's contents arrive in the background.
        for (int wait = 0; wait < 150 && nameBox->text() != "notes.txt"; ++wait) QTest::qWait(20);
        EXPECT_EQ(nameBox->text(), "notes.txt");
        QTest::qWait(50);
        nameBox->setText("not there yet");
        QTest::keyClick(nameBox, Qt::Key_Return);
    });
    const auto chosen = QtDialogs().OpenFile(&window, {"All Files (*.*)", folder.filePath("notes.txt"), {}});
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"README", "notes.txt"}));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, folder.filePath("not there yet"));
}

TEST(RealDialogs, LeaveNothingInTheUsersFolders)
{
    QTemporaryDir folder;
    QWidget window;
    ASSERT_TRUE(ShowActive(&window));
    const auto answer = [](const QString& name) {
        WhenModalOpens([name](QWidget* modal) {
            auto* nameBox = modal->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(nameBox, nullptr);
            nameBox->setText(name);
            QTest::keyClick(nameBox, Qt::Key_Return);
        });
    };
    answer(folder.filePath("in.bin"));
    EXPECT_EQ(QtDialogs().OpenFile(&window, {"All Files (*.*)", {}, {}}), folder.filePath("in.bin"));
    answer(folder.filePath("out"));
    EXPECT_EQ(QtDialogs().SaveFile(&window, {"Textfiles *.txt (*.txt)", folder.filePath("in.bin"), "txt"}),
              folder.filePath("out.txt"));

    // Under a filter of one ending, the name gets that ending unless it has it in any case.
    const QString age = "All Files (*.*);;age files (*.age)";
    const std::pair<QString, QString> named[] = {
        {"report", "report.age"}, {"photo.jpg", "photo.jpg.age"}, {"SHOUT.AGE", "SHOUT.AGE"}};
    for (const auto& [typed, saved] : named) {
        WhenModalOpens([&typed](QWidget* modal) {
            modal->findChild<QComboBox*>("fileTypeCombo")->setCurrentIndex(1);
            auto* nameBox = modal->findChild<QLineEdit*>("fileNameEdit");
            nameBox->setText(typed);
            QTest::keyClick(nameBox, Qt::Key_Return);
        });
        EXPECT_EQ(QtDialogs().SaveFile(&window, {age, folder.filePath("in.bin"), {}, true}), folder.filePath(saved));
    }
    answer(folder.filePath("plain"));
    EXPECT_EQ(QtDialogs().SaveFile(&window, {age, {}, {}, true}), folder.filePath("plain")) << "All Files adds nothing";

    // tests/support/guimain.cpp made these folders empty before the application started.
    for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QDir userFolder(qEnvironmentVariable(variable));
        ASSERT_TRUE(userFolder.exists()) << variable;
        const auto left = userFolder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        EXPECT_EQ(left.join(u' ').toStdString(), "") << variable;
    }
}
