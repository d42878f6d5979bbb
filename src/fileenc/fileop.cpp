#include "fileenc/fileop.h"

#include <span>
#include <variant>

#include "fileenc/cbcdecryption.h"
#include "fileenc/checkblock.h"
#include "pipeline/chunkstream.h"
#include "pipeline/cores.h"
#include "pipeline/runfiles.h"
#include "platform/ioerror.h"
#include "platform/namedfailure.h"

namespace {
struct BurnOnExit {
    TZC_blockcipher& cipher;
    ~BurnOnExit() { cipher.Burn(); }
};

// Threads pay off from a few chunks on; a small regular file goes through one buffer. What
// counts is the chunk size, so that small chunks reach the threaded path as well.
bool WorthThreads(const std::optional<std::uint64_t>& total, std::size_t chunkBytes)
{
    return !total || *total > 2 * chunkBytes;
}

std::size_t CipherThreads(const FileOpOptions& options)
{
    return options.cipherThreads > 0 ? options.cipherThreads : UsableCores();
}

// The body after the check block: CBC over the whole of it, as one serial pass would do.
bool TransformBody(FileOperation operation, ByteSource& input, ByteSink& output, std::optional<std::uint64_t> total,
                   TZC_blockcipher& cipher, const FileOpOptions& options)
{
    const bool threaded = WorthThreads(total, options.chunkBytes);
    const ChunkStream stream{input, output, options.observer, options.chunkBytes, 0, total};
    if (operation == FileOperation::Encrypt) {
        // CBC encryption is serial by nature: the threads only take the disk off its path.
        return StreamChunks(stream, [&cipher](std::uint8_t* data, std::size_t count, bool, std::uint8_t*) {
            cipher.EncryptCBC(data, data, static_cast<int>(count));
            return std::span<const std::uint8_t>(data, count);
        }, threaded);
    }
    // A segment shorter than a sixteenth of a chunk is not worth waking a thread for.
    CbcDecryption decryption(cipher, threaded ? CipherThreads(options) : 1, options.chunkBytes / 16);
    return StreamChunks(stream, [&decryption](std::uint8_t* data, std::size_t count, bool, std::uint8_t*) {
        decryption(data, count);
        return std::span<const std::uint8_t>(data, count);
    }, threaded);
}

FileOpResult Run(FileOperation operation, const std::string& inputName, const std::string& outputName,
                 const SecretBytes& passphrase, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    auto opened = OpenRunFiles(inputName, outputName, *options.calls);
    if (const auto* refusal = std::get_if<FileOpResult>(&opened)) return *refusal;
    auto& [input, output] = std::get<RunFiles>(opened);
    FileSource source(input.fd.get(), inputName, *options.calls);
    OutputSink sink(output, outputName);

    BurnOnExit burn{cipher};
    SecretBytes checkBlock(kCheckBlockBytes);
    ComputeCheckBlock(passphrase, cipher, checkBlock.data());
    if (operation == FileOperation::Encrypt) {
        sink.Write(checkBlock.data(), kCheckBlockBytes);
    } else {
        SecretBytes stored(kCheckBlockBytes);
        if (source.Read(stored.data(), kCheckBlockBytes) != kCheckBlockBytes)
            throw IoError(iocode::kReadBeyondEnd, 0, inputName);
        if (stored != checkBlock) return FileOpResult::WrongPassphrase;
    }
    if (!TransformBody(operation, source, sink, SizeOf(input.info), cipher, options)) return FileOpResult::Cancelled;
    // Every failure must come before the commit, so that a reported error never replaces a file.
    NamingFailures(inputName, [&] { input.fd.Close(*options.calls); });
    NamingFailures(outputName, [&] { output.Commit(); });
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
