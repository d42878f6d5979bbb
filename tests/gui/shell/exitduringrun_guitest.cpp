#include <gtest/gtest.h>

#include <chrono>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include "gui/filewindows/blowfishenc.h"
#include "gui/shell/starter.h"
#include "support/fakedialogs.h"
#include "support/pipeinput.h"
#include "support/windowtest.h"

using namespace std::chrono_literals;

// Exit while a file window encrypts an input that never ends: the run's progress dialog blocks
// no other window, so the click on Exit arrives; the run is cancelled, its thread ends, the
// program ends, and the output it was writing is gone.
TEST(ExitDuringAFileRun, CancelsTheRunAndTheProgramEnds)
{
    QTemporaryDir folder;
    PipeInput input(folder.filePath("in").toStdString());
    input.FeedEndlessly();
    FakeDialogs dialogs;
    const auto form1 = CreateForms(dialogs);
    ASSERT_TRUE(ShowActive(form1.get()));
    QTest::mouseClick(form1->Button4, Qt::LeftButton);
    FileEncryptionWindow* window = form1->forms().Form5;
    window->SetProgressDelay(0ms);
    window->CInFileBox->setText(folder.filePath("in"));
    window->COutFileBox->setText(folder.filePath("out"));
    QTest::mouseClick(window->CEncryptBtn, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChild<QDialog*>()->isVisible(); }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Through the window system, which drops the clicks on a window a modal dialog blocks.
    const QPoint exit = form1->Button5->mapTo(form1.get(), form1->Button5->rect().center());
    QTimer::singleShot(0, form1.get(),
                       [&] { QTest::mouseClick(form1->windowHandle(), Qt::LeftButton, Qt::NoModifier, exit); });
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);

    EXPECT_FALSE(window->Running());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"in"});
    EXPECT_TRUE(dialogs.informations.empty() && dialogs.errors.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
