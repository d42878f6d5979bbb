#pragma once

// What the user sees of a file run: a busy cursor from its start and, once the run has taken
// longer than a short delay, a dialog modal to its file window that shows how far the run has
// come, its speed and Cancel. When the input's size is unknown (a pipe) a busy bar stands in
// for the percentage. Cancel, Esc and the close box all cancel the run.

#include <chrono>
#include <cstdint>
#include <optional>

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "gui/filewindows/filerun.h"

class RunProgressDialog final : public QDialog {
    Q_OBJECT

public:
    RunProgressDialog(QWidget* window, FileOperation operation, FileRun& run, std::chrono::milliseconds delay);
    // Restores the cursor.
    ~RunProgressDialog() override;

    QLabel* Text;
    QProgressBar* Bar;
    QPushButton* CancelButton;

private:
    void ShowProgress(std::uint64_t done, std::optional<std::uint64_t> total);

    const QString action_;
    QTimer delay_;
    QElapsedTimer clock_;
};
