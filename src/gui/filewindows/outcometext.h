#pragma once

// The texts of a file window's outcome boxes beyond the engines' own messages: which format an
// encryption wrote, and what an age file that did not open means for the user of a window.

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/fileoutcome.h"

// The Gost window words one message differently; every other window uses Standard.
enum class MessageWording { Standard, Gost };

// The information box's text for a run's result; an age file written says so, and a wrong
// passphrase for this window's cipher names where the file opens when another cipher's check
// block fits (fittingCipher, an algorithm).
std::string OutcomeText(FileOpResult result, FileOperation operation, MessageWording wording, bool wroteAge,
                        const std::optional<std::string>& fittingCipher = std::nullopt);

// A box's text with what the engine told beside the run's outcome or error (an output written
// in place, which a failure leaves cut short), each on a line of its own below it.
std::string WithNotices(std::string text, const std::vector<std::string>& notices);

// The question before a legacy file (of cipher, an algorithm) is encrypted to an age file.
std::string MoveToAgeQuestion(const std::string& cipher);

// The error box's text for what a run raised: as for any error, or for an age file that did not open, what it means here (the file is damaged and nothing
// was written, the detail on a line of its own; or it opens with a key file, and how).
std::string ErrorText(const std::exception_ptr& error);
