#pragma once

// What the user sees of a file run: a busy cursor over its file window from its start and, once
// the run has taken longer than a short delay, a dialog above that window that shows how far the
// run has come, its speed and Cancel. When the input's size is unknown (a pipe) a busy bar
// stands in for the percentage. Cancel, Esc and the close box all cancel the run. The dialog
// stays when its window is closed, and has no task-bar entry of its own.
// While the dialog shows, the file window's own controls take no input, as a window-modal
// dialog would have it; but Qt's window modality would block the main window too, whose Exit
// must go on working, so the dialog is not modal and locks the file window's controls instead.
// The window's pictures and labels are left as they are drawn.

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "gui/filewindows/filerun.h"

class RunProgressDialog final : public QDialog {
    Q_OBJECT

public:
    RunProgressDialog(QWidget* window, FileOperation operation, FileRun& run, std::chrono::milliseconds delay);
    // Gives the window its cursor back.
    ~RunProgressDialog() override;

    // Makes the shown dialog the active window, also when it was shown without the focus.
    void TakeKeyboard();

    QLabel* Text;
    QProgressBar* Bar;
    QPushButton* CancelButton;

private:
    // Disables a window's controls (what takes the focus or a click), its child windows aside,
    // and takes its file drops; gives back
    // on destruction what it took, and the focus to the control that had it.
    class ControlsLock {
    public:
        explicit ControlsLock(QWidget* window);
        ~ControlsLock();
        ControlsLock(const ControlsLock&) = delete;
        ControlsLock& operator=(const ControlsLock&) = delete;

    private:
        QWidget* const window_;
        const bool acceptedDrops_;
        QPointer<QWidget> focus_;
        std::vector<QPointer<QWidget>> disabled_;
    };

    void ShowOverWindow();
    void ShowProgress(std::uint64_t done, std::optional<std::uint64_t> total);
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    QWidget* const window_;
    const QString action_;
    std::optional<ControlsLock> lock_;  // while the dialog shows
    QTimer delay_;
    QElapsedTimer clock_;
};
