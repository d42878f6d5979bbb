#include <gtest/gtest.h>

#include "gui/filewindows/outcometext.h"

TEST(OutcomeText, EveryOutcomeInEachWording)
{
    using R = FileOpResult;
    const auto E = FileOperation::Encrypt, D = FileOperation::Decrypt;
    const auto S = MessageWording::Standard, G = MessageWording::Gost;
    const struct {
        R result;
        FileOperation operation;
        MessageWording wording;
        const char* text;
    } cases[] = {
        {R::NoInputName, E, S, "No Filenames selected!!"},
        {R::NoOutputName, D, S, "No Filenames selected!!"},
        {R::SameNames, E, S, "File to be Encrypted/Decrypted and Output File must be different"},
        {R::SameNames, D, S, "The Output Filename must be different from the Input Filename"},
        {R::InputOpenFailed, E, G, "Unable to open the Input File"},
        {R::OutputOpenFailed, E, S, "Unable to open the Output File"},
        {R::OutputOpenFailed, E, G, "Unable to open then Output File"},
        {R::OutputOpenFailed, D, G, "Unable to open the Output File"},
        {R::WrongPassphrase, D, S, "Incorrect Passphrase"},
        {R::Encrypted, E, G, "File Encrypted"},
        {R::Decrypted, D, S, "File Decrypted"},
    };
    for (const auto& c : cases) EXPECT_EQ(OutcomeText(c.result, c.operation, c.wording, false), c.text) << c.text;
}
