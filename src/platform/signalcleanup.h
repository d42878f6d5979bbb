#pragma once

// What a terminating signal does to this process's temporary files. SIGINT, SIGTERM, SIGHUP,
// SIGPIPE and SIGXFSZ get one handler, installed for each of them that is not ignored at that
// moment (a signal ignored from the start, under nohup or in a background job, stays ignored).
// Unless the signal is taken as a stop request (stoprequest.h), the handler removes every
// armed file, puts back the action the signal had before and raises it again, as git does with
// its temporary files: the process ends as the signal would have ended it, or the earlier
// handler runs.

#include <string>

// Installs the handler; the first armed slot or CatchStopRequests does it, once.
void InstallSignalHandlers();

// A slot names one file (a folder descriptor and a name in it) while it exists under a
// temporary name.
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
