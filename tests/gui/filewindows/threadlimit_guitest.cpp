// A file window's runs in a process that can start no more threads (a container at its limit):
// the run takes the window's thread, or runs on its own thread without the engine's reader,
// writer and helper threads, and ends as it would with them. The host shim (linked in, see
// tests/support/hostshim.cpp) refuses the threads once the window exists. A program of its own:
// the engine keeps the threads of a run parked for the next, which then starts none.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "gui/filewindows/gostenc.h"
#include "pipeline/fileoutcome.h"
#include "support/fakedialogs.h"
#include "support/windowtest.h"

extern "C" void ZorvantaShimAllowThreads(long count);
extern "C" long ZorvantaShimRefusedThreads();

namespace {
QByteArray Sample(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + i / 509);
    return bytes;
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
}  // namespace

TEST(FileWindowWithoutThreads, EncryptsAndDecryptsTheSameBytesAsWithThem)
{
    QTemporaryDir folder;
    const auto path = [&](const QString& name) { return folder.filePath(name); };
    const QByteArray plain = Sample(3 * kFileChunkBytes + 5);  // read ahead and decrypted on several threads
    {
        QFile file(path("plain"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(plain) == plain.size());
    }
    FakeDialogs dialogs;
    QWidget main;
    TForm6* window = new TForm6(&main, dialogs);
    ASSERT_TRUE(ShowActive(window));
    const auto run = [&](QPushButton* button, const QString& in, const QString& out) {
        window->CInFileBox->setText(in);
        window->COutFileBox->setText(out);
        window->CPassphraseBox->setText("pw");
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->Running(); }, 20000));
    };

    struct Case {
        const char* what;
        long threads;  // allowed to start during the two runs
        long refused;  // at least: the engine's first thread in each run, and the run's own where none is allowed
        QString name;
    };
    const Case cases[] = {
        {"no thread at all", 0, 4, "none"},
        {"the run's own thread, none for the engine", 1, 2, "own"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.informations.clear();
        const long refusedBefore = ZorvantaShimRefusedThreads();
        ZorvantaShimAllowThreads(c.threads);
        run(window->CEncryptBtn, path("plain"), path(c.name + ".sealed"));
        ZorvantaShimAllowThreads(c.threads);
        run(window->CDecryptBtn, path(c.name + ".sealed"), path(c.name + ".opened"));
        ZorvantaShimAllowThreads(-1);
        EXPECT_GE(ZorvantaShimRefusedThreads() - refusedBefore, c.refused);
        EXPECT_EQ(dialogs.informations, (std::vector<QString>{"File Encrypted", "File Decrypted"}));
        EXPECT_TRUE(Read(path(c.name + ".opened")) == plain);
    }
    EXPECT_TRUE(dialogs.errors.empty());

    // Last, since it leaves the engine's threads parked.
    run(window->CEncryptBtn, path("plain"), path("threaded.sealed"));
    const QByteArray threaded = Read(path("threaded.sealed"));
    ASSERT_EQ(threaded.size(), plain.size() + 32);
    for (const Case& c : cases) EXPECT_TRUE(Read(path(c.name + ".sealed")) == threaded) << c.what;
}
