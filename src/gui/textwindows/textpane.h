#pragma once

// The text pane (Memo1) of the short-text windows as a Qt text box.

#include <QPlainTextEdit>
#include <optional>
#include <string>

#include "textenc/pane.h"

// Shows the pane's bytes through the pane codec and reads them back from the document's raw
// text. Long unbroken lines (hex and XORed texts) wrap anywhere, which costs linear time; Tab
// moves the focus on; a typed or pasted character with no byte becomes "?" at once. Copy and cut
// hand over the pane's own characters, so that pasting them back gives the same bytes. A
// highlight frame inside the box shows that it has the focus.
class TextPane : public QPlainTextEdit, public Pane {
    Q_OBJECT

public:
    explicit TextPane(QWidget* parent = nullptr);

protected:
    std::string StoredText() const override;
    void Store(std::string_view content) override;

    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // The document's bytes, decoded once per change of the document.
    mutable std::optional<std::string> bytes_;
};
