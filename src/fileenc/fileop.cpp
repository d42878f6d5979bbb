#include "fileenc/fileop.h"

#include <span>

#include "fileenc/cbcdecryption.h"
#include "fileenc/checkblock.h"
#include "pipeline/chunkstream.h"
#include "pipeline/cores.h"
#include "pipeline/runfiles.h"
#include "platform/ioerror.h"

namespace {
// Chunks are whole multiples of every cipher's block.
constexpr std::size_t kChunkUnitBytes = 16;

struct BurnOnExit {
    TZC_blockcipher& cipher;
    ~BurnOnExit() { cipher.Burn(); }
};

// The body after the check block: CBC over the whole of it, as one serial pass would do.
bool TransformBody(FileOperation operation, ByteSource& input, ByteSink& output, std::optional<std::uint64_t> total,
                   TZC_blockcipher& cipher, const FileOpOptions& options)
{
    const std::uint64_t bodyStart = operation == FileOperation::Decrypt ? kCheckBlockBytes : 0;
    const std::size_t chunkBytes = ChunkBytesFor(options.chunkBytes, kChunkUnitBytes, BytesFrom(total, bodyStart));
    const bool threaded = WorthThreads(total, chunkBytes);
    const ChunkStream stream{input, output, options.observer, chunkBytes, 0, total};
    if (operation == FileOperation::Encrypt) {
        // CBC encryption is serial by nature: the threads only take the disk off its path.
        return StreamChunks(stream, [&cipher](std::uint8_t* data, std::size_t count, bool, std::uint8_t*) {
            cipher.EncryptCBC(data, data, static_cast<int>(count));
            return std::span<const std::uint8_t>(data, count);
        }, threaded);
    }
    // A segment shorter than a sixteenth of a chunk is not worth waking a thread for.
    CbcDecryption decryption(cipher, threaded ? WorkThreads(options.cipherThreads) : 1, options.chunkBytes / 16);
    return StreamChunks(stream, [&decryption](std::uint8_t* data, std::size_t count, bool, std::uint8_t*) {
        decryption(data, count);
        return std::span<const std::uint8_t>(data, count);
    }, threaded);
}

FileOpResult Run(FileOperation operation, RunInput input, RunOutput output, const SecretBytes& passphrase,
                 TZC_blockcipher& cipher, const FileOpOptions& options)
{
    FileSource file(input.file.fd.get(), input.name, *options.calls, input.taken.size());
    PrefixedSource source(std::move(input.taken), file);
    OutputSink sink(output.file, output.name);

    BurnOnExit burn{cipher};
    SecretBytes checkBlock(kCheckBlockBytes);
    ComputeCheckBlock(passphrase, cipher, checkBlock.data());
    if (operation == FileOperation::Encrypt) {
        sink.Write(checkBlock.data(), kCheckBlockBytes);
    } else {
        SecretBytes stored(kCheckBlockBytes);
        if (source.Read(stored.data(), kCheckBlockBytes) != kCheckBlockBytes)
            throw IoError(iocode::kReadBeyondEnd, 0, input.name);
        if (!SecretEquals(stored, checkBlock)) return FileOpResult::WrongPassphrase;
    }
    if (!TransformBody(operation, source, sink, SizeOf(input.file.info), cipher, options)) return FileOpResult::Cancelled;
    FinishRun(input, output, options);
    return operation == FileOperation::Encrypt ? FileOpResult::Encrypted : FileOpResult::Decrypted;
}

FileOpResult RunNamed(FileOperation operation, const std::string& inputName, const std::string& outputName,
                      const SecretBytes& passphrase, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return WithNamedFiles(inputName, outputName, 0, options, [&](RunInput input, RunOutput output) {
        return Run(operation, std::move(input), std::move(output), passphrase, cipher, options);
    });
}
}  // namespace

FileOpResult EncryptFile(const std::string& inputName, const std::string& outputName, const SecretBytes& passphrase,
                         TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return RunNamed(FileOperation::Encrypt, inputName, outputName, passphrase, cipher, options);
}

FileOpResult DecryptFile(const std::string& inputName, const std::string& outputName, const SecretBytes& passphrase,
                         TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return RunNamed(FileOperation::Decrypt, inputName, outputName, passphrase, cipher, options);
}

FileOpResult EncryptOpenedFile(RunInput input, RunOutput output, const SecretBytes& passphrase,
                               TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return Run(FileOperation::Encrypt, std::move(input), std::move(output), passphrase, cipher, options);
}

FileOpResult DecryptOpenedFile(RunInput input, RunOutput output, const SecretBytes& passphrase,
                               TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return Run(FileOperation::Decrypt, std::move(input), std::move(output), passphrase, cipher, options);
}
