#pragma once

// Removal of named temporary files when a signal ends the process. A slot names one file (a
// folder descriptor and a name in it) while it exists under a temporary name; SIGINT,
// SIGTERM, SIGHUP, SIGPIPE and SIGXFSZ remove every armed file before their default action.
// A signal the process handles itself is left to its handler (the normal error path then
// removes the file), and an ignored one stays ignored.

#include <string>

class CleanupSlot {
public:
    CleanupSlot() = default;
    // Arms a slot for name in folder, which must stay open while armed. With every slot in use
    // the file goes without this protection.
    CleanupSlot(int folder, const std::string& name);
    CleanupSlot(CleanupSlot&& other) noexcept : index_(other.index_) { other.index_ = -1; }
    CleanupSlot& operator=(CleanupSlot&& other) noexcept;
    ~CleanupSlot() { Disarm(); }

    void Disarm() noexcept;

private:
    int index_ = -1;
};
