#include "fileenc/fileop.h"

#include <algorithm>
#include <array>
#include <memory>

#include "fileenc/checkblock.h"
#include "platform/ioerror.h"

namespace {
// A buffer that is wiped however the operation ends.
template <std::size_t N>
struct WipedBuffer {
    std::array<std::uint8_t, N> bytes;
    ~WipedBuffer() { SecureFill(bytes.data(), N, 0x00); }
    std::uint8_t* data() noexcept { return bytes.data(); }
};

struct BurnOnExit {
    TZC_blockcipher& cipher;
    ~BurnOnExit() { cipher.Burn(); }
};

std::optional<std::uint64_t> SizeOf(const struct stat& info)
{
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

// Reads, transforms and writes in chunks until a chunk comes back short. False when the
// observer asked to stop.
bool TransformRest(const InputFile& input, OutputFile& output, TZC_blockcipher& cipher, FileOperation operation,
                   const FileOpOptions& options)
{
    SecretBytes chunk(options.chunkBytes);
    const auto total = SizeOf(input.info);
    for (std::uint64_t done = 0;;) {
        const std::size_t count = ReadFull(input.fd.get(), chunk.data(), chunk.size(), *options.calls);
        done += count;
        if (operation == FileOperation::Encrypt)
            cipher.EncryptCBC(chunk.data(), chunk.data(), static_cast<int>(count));
        else
            cipher.DecryptCBC(chunk.data(), chunk.data(), static_cast<int>(count));
        output.Write(chunk.data(), count);
        if (options.observer && !options.observer->Continue(done, total)) return false;
        if (count != chunk.size()) return true;
    }
}

FileOpResult Run(FileOperation operation, const std::string& inputName, const std::string& outputName,
                 const SecretBytes& passphrase, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    if (inputName.empty()) return FileOpResult::NoInputName;
    if (outputName.empty()) return FileOpResult::NoOutputName;
    if (outputName == inputName) return FileOpResult::SameNames;

    auto input = OpenInput(inputName);
    if (!input) return FileOpResult::InputOpenFailed;
    // Two names of one file (links, relative and absolute paths) would otherwise lose the input.
    if (OutputFile::IsSameFile(outputName, input->info)) return FileOpResult::SameNames;
    auto output = OutputFile::Open(outputName, *options.calls);
    if (!output) return FileOpResult::OutputOpenFailed;

    BurnOnExit burn{cipher};
    WipedBuffer<kCheckBlockBytes> checkBlock;
    ComputeCheckBlock(passphrase, cipher, checkBlock.data());
    if (operation == FileOperation::Encrypt) {
        output->Write(checkBlock.data(), kCheckBlockBytes);
    } else {
        WipedBuffer<kCheckBlockBytes> stored;
        if (ReadFull(input->fd.get(), stored.data(), kCheckBlockBytes, *options.calls) != kCheckBlockBytes)
            throw IoError(iocode::kReadBeyondEnd);
        if (stored.bytes != checkBlock.bytes) return FileOpResult::WrongPassphrase;
    }
    if (!TransformRest(*input, *output, cipher, operation, options)) return FileOpResult::Cancelled;
    // Every failure must come before the commit, so that a reported error never replaces a file.
    input->fd.Close(*options.calls);
    output->Commit();
    return operation == FileOperation::Encrypt ? FileOpResult::Encrypted : FileOpResult::Decrypted;
}
}  // namespace

FileOpResult EncryptFile(const std::string& inputName, const std::string& outputName, const SecretBytes& passphrase,
                         TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return Run(FileOperation::Encrypt, inputName, outputName, passphrase, cipher, options);
}

FileOpResult DecryptFile(const std::string& inputName, const std::string& outputName, const SecretBytes& passphrase,
                         TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return Run(FileOperation::Decrypt, inputName, outputName, passphrase, cipher, options);
}

std::string FileOpMessage(FileOpResult result, FileOperation operation, MessageWording wording)
{
    const bool encrypting = operation == FileOperation::Encrypt;
    switch (result) {
    case FileOpResult::NoInputName:
    case FileOpResult::NoOutputName: return "No Filenames selected!!";
    case FileOpResult::SameNames:
        return encrypting ? "File to be Encrypted/Decrypted and Output File must be different"
                          : "The Output Filename must be different from the Input Filename";
    case FileOpResult::InputOpenFailed: return "Unable to open the Input File";
    case FileOpResult::OutputOpenFailed:
        return encrypting && wording == MessageWording::Gost ? "Unable to open then Output File"
                                                             : "Unable to open the Output File";
    case FileOpResult::WrongPassphrase: return "Incorrect Passphrase";
    case FileOpResult::Encrypted: return "File Encrypted";
    case FileOpResult::Decrypted: return "File Decrypted";
    case FileOpResult::Cancelled: return "Cancelled";
    }
    return {};
}
