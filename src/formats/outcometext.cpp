#include "formats/outcometext.h"

std::string FileOpMessage(FileOpResult result, FileOperation operation)
{
    const bool encrypting = operation == FileOperation::Encrypt;
    switch (result) {
    case FileOpResult::NoInputName:
    case FileOpResult::NoOutputName: return "No Filenames selected!!";
    case FileOpResult::SameNames:
        return encrypting ? "File to be Encrypted/Decrypted and Output File must be different"
                          : "The Output Filename must be different from the Input Filename";
    case FileOpResult::InputOpenFailed: return "Unable to open the Input File";
    case FileOpResult::OutputOpenFailed: return "Unable to open the Output File";
    case FileOpResult::WrongPassphrase: return "Incorrect Passphrase";
    case FileOpResult::Encrypted: return "File Encrypted";
    case FileOpResult::Decrypted: return "File Decrypted";
    case FileOpResult::Cancelled: return "Cancelled";
    }
    return {};
}
