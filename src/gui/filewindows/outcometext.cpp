#include "gui/filewindows/outcometext.h"

#include "formats/outcometext.h"

std::string OutcomeBoxText(FileOpResult result, FileOperation operation, MessageWording wording)
{
    if (result == FileOpResult::OutputOpenFailed && operation == FileOperation::Encrypt &&
        wording == MessageWording::Gost)
        return "Unable to open then Output File";
    return FileOpMessage(result, operation);
}
