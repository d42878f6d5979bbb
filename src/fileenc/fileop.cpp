#include "fileenc/fileop.h"

#include <algorithm>
#include <functional>
#include <thread>

#include "fileenc/cbcdecryption.h"
#include "fileenc/checkblock.h"
#include "fileenc/chunkstream.h"
#include "fileenc/namedfailure.h"
#include "platform/ioerror.h"

namespace {
struct BurnOnExit {
    TZC_blockcipher& cipher;
    ~BurnOnExit() { cipher.Burn(); }
};

std::optional<std::uint64_t> SizeOf(const struct stat& info)
{
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

// Threads pay off from a few chunks on; a small regular file goes through one buffer. What
// counts is the chunk size, so that small chunks reach the threaded path as well.
bool WorthThreads(const std::optional<std::uint64_t>& total, std::size_t chunkBytes)
{
    return !total || *total > 2 * chunkBytes;
}

std::size_t CipherThreads(const FileOpOptions& options)
{
    if (options.cipherThreads > 0) return options.cipherThreads;
    return std::max(1u, std::thread::hardware_concurrency());
}

// The body after the check block: CBC over the whole of it, as one serial pass would do.
bool TransformBody(FileOperation operation, InputFile& input, const std::string& inputName, OutputFile& output,
                   const std::string& outputName, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    const auto total = SizeOf(input.info);
    const bool threaded = WorthThreads(total, options.chunkBytes);
    const std::uint64_t checkBlockRead = operation == FileOperation::Decrypt ? kCheckBlockBytes : 0;
    const ChunkStream stream{input.fd.get(), inputName, output, outputName, options, checkBlockRead, total};
    if (operation == FileOperation::Encrypt) {
        // CBC encryption is serial by nature: the threads only take the disk off its path.
        return StreamChunks(stream, [&cipher](std::uint8_t* data, std::size_t count) {
            cipher.EncryptCBC(data, data, static_cast<int>(count));
        }, threaded);
    }
    // A segment shorter than a sixteenth of a chunk is not worth waking a thread for.
    CbcDecryption decryption(cipher, threaded ? CipherThreads(options) : 1, options.chunkBytes / 16);
    return StreamChunks(stream, std::ref(decryption), threaded);
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
    SecretBytes checkBlock(kCheckBlockBytes);
    ComputeCheckBlock(passphrase, cipher, checkBlock.data());
    if (operation == FileOperation::Encrypt) {
        NamingFailures(outputName, [&] { output->Write(checkBlock.data(), kCheckBlockBytes); });
    } else {
        SecretBytes stored(kCheckBlockBytes);
        const std::size_t read = NamingFailures(inputName, [&] {
            return ReadFull(input->fd.get(), stored.data(), kCheckBlockBytes, *options.calls);
        });
        if (read != kCheckBlockBytes) throw IoError(iocode::kReadBeyondEnd, 0, inputName);
        if (stored != checkBlock) return FileOpResult::WrongPassphrase;
    }
    if (!TransformBody(operation, *input, inputName, *output, outputName, cipher, options))
        return FileOpResult::Cancelled;
    // Every failure must come before the commit, so that a reported error never replaces a file.
    NamingFailures(inputName, [&] { input->fd.Close(*options.calls); });
    NamingFailures(outputName, [&] { output->Commit(); });
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
