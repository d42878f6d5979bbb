#pragma once

// Every message box, file dialog and desktop-shell request of the program goes through this
// interface, so that tests can hand the windows a fake that records and answers instead.

#include <optional>

#include <QString>

class QWidget;

struct FileDialogRequest {
    QString filter;         // as shown, e.g. "All Files (*.*)"; several are separated by ";;"
    QString lastName;       // offered as the selection, the dialog opening at its folder; empty for none
    QString defaultSuffix;  // appended to a typed name without one; empty for none
    // A name chosen under a filter of one pattern *.EXT that does not end in .EXT (in any case)
    // gets .EXT appended, so that the filter chosen decides: photo.jpg under "*.age" is
    // photo.jpg.age.
    bool filterAddsSuffix = false;
};

enum class ShowMode { Normal, Maximized };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Modal, centred over the parent's window; both boxes have a single OK button. description
    // tells screen readers what the box is about (its window and file); empty for none.
    virtual void Information(QWidget* parent, const QString& text, const QString& description = {}) = 0;
    virtual void Error(QWidget* parent, const QString& text, const QString& description = {}) = 0;
    // Modal, centred likewise, with Yes (the default button) and No; true for Yes.
    virtual bool Question(QWidget* parent, const QString& text) = 0;

    // The full name of the chosen file, or nothing when the user cancels. The open dialog
    // accepts a name that does not exist; the save dialog replaces a file without asking.
    virtual std::optional<QString> OpenFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<QString> SaveFile(QWidget* parent, const FileDialogRequest& request) = 0;

    // Hands an address to the desktop; the outcome is not examined.
    virtual void OpenAddress(QWidget* parent, const QString& verb, const QString& address,
                             ShowMode show) = 0;
};

// The real dialogs, parented to the calling window.
Dialogs& QtDialogs();

// The application title, the error box's caption. It is the program's name for the user, not
// the window class (QCoreApplication::applicationName) by which desktops match its windows.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();
