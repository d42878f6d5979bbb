#include "age/agefile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/armorstream.h"
#include "age/header.h"
#include "age/payloadbatch.h"
#include "common/wipe.h"
#include "pipeline/bytestream.h"
#include "pipeline/chunkstream.h"
#include "pipeline/cores.h"
#include "pipeline/placedrun.h"

namespace {
constexpr std::size_t kHeaderPieceBytes = 4096;

struct ReadHeader {
    Header header;
    std::vector<std::uint8_t> rest;  // the payload's first bytes, read with the header
    std::uint64_t length;
};

ReadHeader ReadAgeHeader(ByteSource& source)
{
    std::vector<std::uint8_t> bytes;
    for (;;) {
        // Each piece as large as all before, so that looking for the end stays linear.
        const std::size_t old = bytes.size(), piece = std::max(kHeaderPieceBytes, old);
        bytes.resize(old + piece);
        const std::size_t read = source.Read(bytes.data() + old, piece);
        bytes.resize(old + read);
        if (const auto end = FindHeaderEnd(bytes)) {
            const auto split = bytes.begin() + static_cast<std::ptrdiff_t>(*end);
            return {ParseHeader({reinterpret_cast<const char*>(bytes.data()), *end}), {split, bytes.end()}, *end};
        }
        if (read < piece) throw bytes.empty() ? AgeError::NotAgeFile() : AgeError::Truncated();
    }
}

// The pipeline's chunks hold whole payload chunks: as many as fit the run's chunk size, and no
// more than a payload of bodyBytes (when known) needs.
std::size_t BatchChunks(const FileOpOptions& options, std::size_t chunkBytes, std::optional<std::uint64_t> bodyBytes)
{
    const std::size_t chunks = std::max<std::size_t>(1, options.chunkBytes / kPayloadChunkBytes);
    return ChunkBytesFor(chunks * chunkBytes, chunkBytes, bodyBytes) / chunkBytes;
}

// A regular input and a new output, between which the payload's batches can go straight to
// their places.
struct PlacedFiles {
    int input;
    std::uint64_t inputStart;  // where the plaintext begins
    const std::string& inputName;
    const OutputFile& output;
};

struct PayloadRun {
    ByteSource& input;
    ByteSink& output;
    std::optional<std::uint64_t> total;
    const FileOpOptions& options;
    const PlacedFiles* placed = nullptr;
};

// Streams the payload through batches of chunks; false when the observer stopped the run.
template <class Step>
bool StreamBatches(const PayloadRun& run, const PayloadCipher& cipher, std::uint64_t payloadOffset,
                   std::size_t inputChunkBytes, std::size_t outputChunkBytes, Step step)
{
    const std::size_t batch = BatchChunks(run.options, inputChunkBytes, BytesFrom(run.total, payloadOffset));
    const bool threaded = WorthThreads(run.total, batch * inputChunkBytes);
    PayloadBatches batches(cipher, threaded ? WorkThreads(run.options.cipherThreads) : 1, payloadOffset);
    const ChunkStream stream{run.input, run.output, run.options.observer, batch * inputChunkBytes,
                             batch * outputChunkBytes, run.total, true};
    return StreamChunks(stream, [&](std::uint8_t* data, std::size_t count, bool last, std::uint8_t* spare) {
        return (batches.*step)(data, count, last, spare);
    }, threaded);
}

// Moves the payload in batches that each thread reads, seals or opens, and writes at their own
// places. inputStart, outputStart: where the payload's chunks begin in either file. move seals
// or opens a batch's chunks with a thread's context, from the chunk counter given.
template <class MoveChunks>
bool MovePlaced(const PayloadRun& run, std::uint64_t inputStart, std::uint64_t outputStart,
                std::size_t inputChunkBytes, std::size_t outputChunkBytes, MoveChunks move)
{
    const PlacedFiles& files = *run.placed;
    const std::uint64_t bytes = *BytesFrom(run.total, inputStart);
    const std::size_t batch = BatchChunks(run.options, inputChunkBytes, bytes);
    const std::size_t threads =
        WorthThreads(bytes, batch * inputChunkBytes) ? WorkThreads(run.options.cipherThreads) : 1;
    std::vector<ChaChaContext> contexts(threads);  // they hold the payload key: they go with the file
    const PlacedRun placed{files.input, inputStart, bytes, files.inputName, files.output, outputStart,
                           batch * inputChunkBytes, batch * outputChunkBytes, threads,
                           run.options.observer, *run.options.calls};
    return RunPlaced(placed, [&](std::size_t thread, std::uint64_t number, const std::uint8_t* in, std::size_t count,
                                 bool last, std::uint8_t* out) {
        const std::size_t moved = move(contexts[thread], number * batch, in, count, last, out);
        WipeStackBelow();  // the cipher's assembly leaves key material on the stack of a thread that lives on
        return moved;
    });
}

// headerBytes: the output's bytes before the payload.
bool SealPayload(const PayloadRun& run, const SecretBytes& fileKey, std::uint64_t headerBytes)
{
    std::array<std::uint8_t, kPayloadNonceBytes> nonce;
    RandomBytes(nonce);
    run.output.Write(nonce.data(), nonce.size());
    const PayloadCipher cipher(fileKey, nonce);
    if (run.placed) {
        return MovePlaced(run, run.placed->inputStart, headerBytes + nonce.size(), kPayloadChunkBytes,
                          kSealedChunkBytes, [&](ChaChaContext& context, std::uint64_t first, const std::uint8_t* in,
                                                 std::size_t count, bool last, std::uint8_t* out) {
                              return SealChunks(cipher, context, first, in, count, last, out);
                          });
    }
    return StreamBatches(run, cipher, 0, kPayloadChunkBytes, kSealedChunkBytes, &PayloadBatches::Seal);
}

bool OpenPayload(const PayloadRun& run, const SecretBytes& fileKey, std::uint64_t headerLength)
{
    std::array<std::uint8_t, kPayloadNonceBytes> nonce;
    if (run.input.Read(nonce.data(), nonce.size()) != nonce.size()) throw AgeError::Truncated();
    const PayloadCipher cipher(fileKey, nonce);
    const std::uint64_t payloadOffset = headerLength + nonce.size();
    if (run.placed) {
        return MovePlaced(run, run.placed->inputStart + payloadOffset, 0, kSealedChunkBytes, kPayloadChunkBytes,
                          [&](ChaChaContext& context, std::uint64_t first, const std::uint8_t* in, std::size_t count,
                              bool last, std::uint8_t* out) {
                              return OpenChunks(cipher, context, first, in, count, last, out, payloadOffset);
                          });
    }
    return StreamBatches(run, cipher, payloadOffset, kSealedChunkBytes, kPayloadChunkBytes, &PayloadBatches::Open);
}

// The file key of the header: unlocked the first time (a passphrase is asked for once, scrypt
// runs once), and known again on a second reading of the same file, whose MAC it must fit. A
// key known and unlocked as well must be the one unlocking gives.
SecretBytes FileKeyOf(const Header& header, const Unlocking* unlocking, std::optional<SecretBytes>& known)
{
    if (!known) {
        known = UnlockFileKey(header, *unlocking);
    } else if (!SecretEquals(HeaderMac(header.macInput, *known), header.mac)) {
        throw AgeError::HeaderDamaged();
    } else if (unlocking && !SecretEquals(UnlockFileKey(header, *unlocking), *known)) {
        throw AgeError::HeaderDamaged();
    }
    return *known;
}

// Opens the age file that source reads, whose first bytes are given, into sink; false when
// the observer stopped the run.
bool DecryptStream(ByteSource& source, std::span<const std::uint8_t> firstBytes, ByteSink& sink,
                   const Unlocking* unlocking, std::optional<std::uint64_t> total, const FileOpOptions& options,
                   std::optional<SecretBytes>& fileKeyKnown, const PlacedFiles* placed = nullptr)
{
    if (!LooksLikeAge(firstBytes)) throw AgeError::NotAgeFile();
    std::optional<ArmoredSource> armored;
    if (IsArmored(firstBytes)) armored.emplace(source);
    ByteSource& binary = armored ? static_cast<ByteSource&>(*armored) : source;
    auto [header, rest, length] = ReadAgeHeader(binary);
    const SecretBytes fileKey = FileKeyOf(header, unlocking, fileKeyKnown);
    PrefixedSource payload(std::move(rest), binary);
    return OpenPayload({payload, sink, total, options, armored ? nullptr : placed}, fileKey, length);
}

std::vector<Stanza> Stanzas(SealedKeys& keys, const AgeProtection& protection)
{
    std::vector<Stanza> stanzas;
    for (const Recipient& recipient : protection.recipients) stanzas.push_back(WrapFor(keys.fileKey, recipient));
    if (protection.passphrase)
        stanzas.push_back(
            WrapScrypt(keys.fileKey, *protection.passphrase, protection.workFactor, &keys.scrypt.emplace()));
    if (stanzas.empty()) throw ZorvantaError("an age file needs a recipient or a passphrase");
    return stanzas;
}

std::optional<SealedKeys> Seal(ByteSource& source, ByteSink& file, const AgeProtection& protection,
                               std::optional<std::uint64_t> total, const FileOpOptions& options,
                               const PlacedFiles* placed = nullptr)
{
    std::optional<ArmoredSink> armored;
    if (protection.armor) armored.emplace(file);
    ByteSink& sink = armored ? static_cast<ByteSink&>(*armored) : file;

    SealedKeys keys{GenerateFileKey(), std::nullopt};
    const std::string header = WriteHeader(Stanzas(keys, protection), keys.fileKey);
    sink.Write(reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
    if (!SealPayload({source, sink, total, options, placed}, keys.fileKey, header.size())) return std::nullopt;
    if (armored) armored->Finish();
    return keys;
}

// Whether the payload can go straight between the files, batch by batch: a regular input,
// whose content begins where the bytes already taken from it began, and a new output. The
// caller rules out armor, whose lines have no places that follow from a batch's number.
std::optional<PlacedFiles> PlacedFilesOf(const RunInput& input, const RunOutput& output)
{
    if (!S_ISREG(input.file.info.st_mode) || !output.file.TakesWritesAt()) return std::nullopt;
    const off_t at = ::lseek(input.file.fd.get(), 0, SEEK_CUR);
    const auto taken = static_cast<off_t>(input.taken.size());
    if (at < taken || at - taken > input.file.info.st_size) return std::nullopt;
    return PlacedFiles{input.file.fd.get(), static_cast<std::uint64_t>(at - taken), input.name, output.file};
}

FileOpResult Encrypt(RunInput input, RunOutput output, const AgeProtection& protection, const FileOpOptions& options)
{
    // Bytes already taken to tell a format are the plaintext's first.
    FileSource file(input.file.fd.get(), input.name, *options.calls, input.taken.size());
    PrefixedSource source(input.taken, file);
    OutputSink sink(output.file, output.name);
    const std::optional<PlacedFiles> placed = protection.armor ? std::nullopt : PlacedFilesOf(input, output);
    if (!Seal(source, sink, protection, SizeOf(input.file.info), options, placed ? &*placed : nullptr))
        return FileOpResult::Cancelled;
    FinishRun(input, output, options);
    return FileOpResult::Encrypted;
}
// An output written in place is cut at its first write, so a chunk that failed later would
// leave it holding part of the plaintext: the whole file is authenticated before, and read
// again from where it began. A stream cannot be read twice, and is refused. False when the
// observer stopped the run.
bool AuthenticateFirst(const RunInput& input, const std::string& outputName, const Unlocking& unlocking,
                       const FileOpOptions& options, std::optional<SecretBytes>& fileKey)
{
    const int fd = input.file.fd.get();
    const off_t start = S_ISREG(input.file.info.st_mode) ? ::lseek(fd, 0, SEEK_CUR) : -1;
    if (start < 0)
        throw AgeError(AgeFailure::StreamInPlace,
                       outputName + " is written in place (it has other links, or its folder is locked), so an age "
                                    "file must be authenticated before it is written; a stream cannot be: decrypt it "
                                    "to another file");
    FileSource file(fd, input.name, *options.calls, input.taken.size());
    PrefixedSource source(input.taken, file);
    DiscardingSink nowhere;
    if (!DecryptStream(source, input.taken, nowhere, &unlocking, SizeOf(input.file.info), options, fileKey)) return false;
    if (::lseek(fd, start, SEEK_SET) < 0) throw IoError::FromErrno(errno, input.name);
    return true;
}
}  // namespace

FileOpResult EncryptAgeFile(const std::string& inputName, const std::string& outputName,
                            const AgeProtection& protection, const FileOpOptions& options)
{
    return WithNamedFiles(inputName, outputName, 0, options, [&](RunInput input, RunOutput output) {
        return Encrypt(std::move(input), std::move(output), protection, options);
    });
}

FileOpResult EncryptOpenedAgeFile(RunInput input, RunOutput output, const AgeProtection& protection,
                                  const FileOpOptions& options)
{
    return Encrypt(std::move(input), std::move(output), protection, options);
}

FileOpResult DecryptAgeFile(const std::string& inputName, const std::string& outputName, const Unlocking& unlocking,
                            const FileOpOptions& options)
{
    return WithNamedFiles(inputName, outputName, kAgeDetectBytes, options, [&](RunInput input, RunOutput output) {
        return DecryptOpenedAgeFile(std::move(input), std::move(output), unlocking, options);
    });
}

FileOpResult DecryptOpenedAgeFile(RunInput input, RunOutput output, const Unlocking& unlocking,
                                  const FileOpOptions& options)
{
    std::optional<SecretBytes> fileKey;
    if (output.file.WritesInPlace() && !AuthenticateFirst(input, output.name, unlocking, options, fileKey))
        return FileOpResult::Cancelled;
    const std::optional<PlacedFiles> placed = PlacedFilesOf(input, output);  // before the header is read
    FileSource file(input.file.fd.get(), input.name, *options.calls, input.taken.size());
    PrefixedSource source(input.taken, file);
    OutputSink sink(output.file, output.name);
    // Unlocked already when authenticated first.
    const Unlocking* unlockingNeeded = fileKey ? nullptr : &unlocking;
    if (!DecryptStream(source, input.taken, sink, unlockingNeeded, SizeOf(input.file.info), options, fileKey,
                       placed ? &*placed : nullptr))
        return FileOpResult::Cancelled;
    FinishRun(input, output, options);
    return FileOpResult::Decrypted;
}

FileOpResult CheckAgeFile(const std::string& inputName, const Unlocking& unlocking, const FileOpOptions& options)
{
    if (inputName.empty()) return FileOpResult::NoInputName;
    auto opened = OpenRunInput(inputName, kAgeDetectBytes, *options.calls);
    if (const auto* refusal = std::get_if<RunRefusal>(&opened)) return refusal->result;
    return CheckOpenedAgeFile(std::move(std::get<RunInput>(opened)), unlocking, options);
}

FileOpResult CheckOpenedAgeFile(RunInput input, const Unlocking& unlocking, const FileOpOptions& options)
{
    FileSource file(input.file.fd.get(), input.name, *options.calls, input.taken.size());
    PrefixedSource source(input.taken, file);
    DiscardingSink sink;
    std::optional<SecretBytes> fileKey;
    if (!DecryptStream(source, input.taken, sink, &unlocking, SizeOf(input.file.info), options, fileKey))
        return FileOpResult::Cancelled;
    RequireUnchanged(input.file, input.name);
    return FileOpResult::Decrypted;
}

std::optional<SealedKeys> SealAgeStream(ByteSource& source, ByteSink& sink, const AgeProtection& protection,
                                        std::optional<std::uint64_t> total, const FileOpOptions& options)
{
    return Seal(source, sink, protection, total, options);
}

bool OpenAgeStream(ByteSource& source, ByteSink& sink, const Unlocking* unlocking, const SecretBytes* knownKey,
                   std::optional<std::uint64_t> total, const FileOpOptions& options)
{
    std::vector<std::uint8_t> firstBytes(kAgeDetectBytes);
    firstBytes.resize(source.Read(firstBytes.data(), firstBytes.size()));
    PrefixedSource whole(firstBytes, source);
    std::optional<SecretBytes> fileKey;
    if (knownKey) fileKey = *knownKey;
    return DecryptStream(whole, firstBytes, sink, unlocking, total, options, fileKey);
}

SecretBytes DecryptAgeBytes(const SecretBytes& file, const Unlocking& unlocking)
{
    MemorySource source(file);
    SecretSink sink;
    std::optional<SecretBytes> fileKey;
    DecryptStream(source, std::span(file).first(std::min(file.size(), kAgeDetectBytes)), sink, &unlocking,
                  file.size(), FileOpOptions{}, fileKey);
    return std::move(sink.bytes);
}
