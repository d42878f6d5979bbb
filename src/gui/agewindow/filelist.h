#pragma once

// The age window's list of files and folders. Files and folders dropped from a file manager
// join it, and so do pasted names: one a line, as a path or a file:// address, the way file
// managers copy them. A name already listed is not listed twice.

#include <QListWidget>
#include <QMimeData>
#include <QStringList>

#include <string>
#include <vector>

// The local names that copied or dropped data holds: its addresses when it has any (only
// local ones; others are left out), else its text, one name a line. Blank lines are skipped.
QStringList NamesIn(const QMimeData& data);

class FileList final : public QListWidget {
    Q_OBJECT

public:
    explicit FileList(QWidget* parent);

    void Add(const QStringList& names);
    void RemoveSelected();
    std::vector<std::string> Paths() const;  // in the file system's encoding
    QStringList Names() const;

signals:
    void Changed();

private:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
