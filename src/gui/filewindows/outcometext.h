#pragma once

// The texts of a file window's information box.

#include <string>

#include "pipeline/fileoutcome.h"

// The Gost window words one message differently; every other window uses Standard.
enum class MessageWording { Standard, Gost };

// The information box's text for an outcome: the outcome's sentence, in the window's wording.
std::string OutcomeBoxText(FileOpResult result, FileOperation operation, MessageWording wording);
