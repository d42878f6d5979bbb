#pragma once

#include <string>

#include "platform/ioerror.h"

// Runs action; an IoError that names no file is raised again naming path, so that the caller
// learns which of the two files failed.
template <class Action>
auto NamingFailures(const std::string& path, Action action)
{
    try {
        return action();
    } catch (const IoError& e) {
        if (!e.path().empty()) throw;
        throw IoError(e.code(), e.hostError(), path);
    }
}
