#include "batch/reseal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <variant>

#include "age/ageerror.h"
#include "batch/batchsupport.h"
#include "fileenc/checkblock.h"
#include "fileenc/plaintextsource.h"
#include "formats/fileformat.h"
#include "pipeline/runfiles.h"
#include "platform/fileidentity.h"
#include "platform/ioerror.h"

namespace {
constexpr const char* kNotLegacy = "not a legacy file under this passphrase (no cipher's check block fits)";

// The plaintext of an opened legacy file, with its digest, decrypted as it is read.
class LegacyReading {
public:
    LegacyReading(RunInput& input, std::string_view algorithm, const SecretBytes& passphrase,
                  const FileOpOptions& options)
        : cipher_(CreateCipher(algorithm)),
          file_(input.file.fd.get(), input.name, *options.calls, input.taken.size()),
          body_(std::vector<std::uint8_t>(input.taken.begin() + kCheckBlockBytes, input.taken.end()), file_),
          plaintext_(body_, Initialised(*cipher_, passphrase), options.cipherThreads),
          hashed_(plaintext_)
    {
    }
    ~LegacyReading() { cipher_->Burn(); }

    HashingSource& Plaintext() { return hashed_; }

    // Reads the rest to its end; false when the observer stopped the run.
    bool ReadToEnd(FileOpObserver* observer, std::uint64_t size)
    {
        SecretBytes buffer(kFileChunkBytes);
        while (hashed_.Read(buffer.data(), buffer.size()) == buffer.size())
            if (observer && !observer->Continue(hashed_.Position(), size)) return false;
        return true;
    }

private:
    static TZC_blockcipher& Initialised(TZC_blockcipher& cipher, const SecretBytes& passphrase)
    {
        SecretBytes checkBlock(kCheckBlockBytes);
        ComputeCheckBlock(passphrase, cipher, checkBlock.data());
        return cipher;
    }

    std::unique_ptr<TZC_blockcipher> cipher_;
    FileSource file_;
    PrefixedSource body_;
    LegacyPlaintext plaintext_;
    HashingSource hashed_;
};

// The digest of the plaintext of the age file at path, opened with unlocking; nullopt when it
// does not open (or when the observer stopped the run, which stopped tells).
std::optional<Sha256::Digest> AgeDigest(const std::string& path, const Unlocking& unlocking,
                                        const FileOpOptions& options, bool& stopped)
{
    auto opened = OpenRunInput(path, 0, *options.calls);
    if (std::holds_alternative<RunRefusal>(opened)) return std::nullopt;
    RunInput& input = std::get<RunInput>(opened);
    FileSource source(input.file.fd.get(), input.name, *options.calls);
    HashingSink digest;
    try {
        stopped = !OpenAgeStream(source, digest, &unlocking, nullptr, SizeOf(input.file.info), options);
    } catch (const AgeError&) {
        return std::nullopt;
    }
    return digest.Finish();
}

// Removes the original once its age file is committed, if it is still the file that was read.
void RemoveOriginal(const RunInput& input)
{
    struct stat now;
    if (::lstat(input.name.c_str(), &now) != 0 || !SameFile(now, input.file.info))
        throw InputChanged(input.name);
    if (::unlink(input.name.c_str()) != 0) throw IoError::FromErrno(errno, input.name);
    const std::size_t slash = input.name.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : input.name.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // best effort: the age file is on the disk already
        ::close(fd);
    }
}
FileReport Stopped()
{
    return {BatchOutcome::Stopped, {}, nullptr};
}

// The end of a file whose age file is on the disk, verified: the original is removed when
// asked for.
FileReport Finished(const ResealSettings& settings, const RunInput& input, const std::string& outputPath,
                    BatchOutcome outcome)
{
    std::string detail = (outcome == BatchOutcome::Done ? "resealed as " : "already resealed as ") + outputPath;
    if (settings.deleteOriginals) {
        RemoveOriginal(input);
        detail += "; the original is removed";
    }
    return {outcome, detail, nullptr};
}

// A NAME.age that exists already: done when it opens to the legacy file's plaintext.
FileReport CheckExisting(const ResealSettings& settings, RunInput& input, LegacyReading& legacy,
                         const std::string& outputPath, const BatchJob& job)
{
    if (settings.unlocking.identities.empty() && !settings.protection.passphrase)
        return Skip(outputPath + " exists, and checking it needs an identity of its recipients");
    if (!legacy.ReadToEnd(job.counted.observer, SizeOf(input.file.info).value_or(0))) return Stopped();
    RequireUnchanged(input.file, input.name);
    const Sha256::Digest plaintext = legacy.Plaintext().Finish();
    bool stopped = false;
    const auto existing = AgeDigest(outputPath, settings.unlocking, job.quiet, stopped);
    if (stopped) return Stopped();
    if (!existing || *existing != plaintext) return Skip(outputPath + " exists and does not open to the same plaintext");
    return Finished(settings, input, outputPath, BatchOutcome::AlreadyDone);
}
// Reads the new file back from the disk and opens it whole with the file key (and, for a
// passphrase, its scrypt stanza with the passphrase too); nullopt when it gives the plaintext
// of that digest, else why it does not count.
std::optional<FileReport> ReadBackRefusal(const ResealSettings& settings, RunOutput& output,
                                          const SecretBytes& fileKey, const Sha256::Digest& plaintext,
                                          const BatchJob& job)
{
    const FileDescriptor back = output.file.ReadBack();
    FileSource written(back.get(), output.name, *job.quiet.calls);
    HashingSink readBack;
    const Unlocking* alsoUnlock = settings.protection.passphrase ? &settings.unlocking : nullptr;
    const std::string unlike = output.name + " did not read back to the plaintext it was made from";
    try {
        if (!OpenAgeStream(written, readBack, alsoUnlock, &fileKey, std::nullopt, job.quiet)) return Stopped();
    } catch (const AgeError& e) {
        return FileReport{BatchOutcome::Failed, unlike + " (" + e.what() + ")", nullptr};
    }
    if (readBack.Finish() != plaintext) return FileReport{BatchOutcome::Failed, unlike, nullptr};
    return std::nullopt;
}
}  // namespace

FileReport ResealTask::Run(const BatchFile& file, const BatchJob& job) const
{
    const FileOpOptions& options = job.counted;
    auto opened = OpenBatchInput(file, kFormatPeekBytes, options);
    if (auto* report = std::get_if<FileReport>(&opened)) return std::move(*report);
    RunInput& input = std::get<RunInput>(opened);
    if (IsAge(FormatOf(input.taken))) return {BatchOutcome::PassedOver, {}, nullptr};
    const auto algorithm = FindLegacyCipher(input.taken, settings_.legacyPassphrase, settings_.cipher);
    if (!algorithm) return Skip(kNotLegacy);

    const std::string outputPath = OutputPathFor(file, settings_.outputFolder) + std::string(kAgeSuffix);
    LegacyReading legacy(input, *algorithm, settings_.legacyPassphrase, options);
    if (Exists(outputPath)) return CheckExisting(settings_, input, legacy, outputPath, job);

    auto created = OpenBatchOutput(input, outputPath, settings_.outputFolder, OutputFile::Existing::Refuse, options);
    if (auto* report = std::get_if<FileReport>(&created)) return std::move(*report);
    RunOutput& output = std::get<RunOutput>(created);
    output.file.LimitModeTo(input.file.info.st_mode | S_IRUSR | S_IWUSR);
    OutputSink sink(output.file, output.name);
    const auto fileKey = SealAgeStream(legacy.Plaintext(), sink, settings_.protection, file.size, options);
    if (!fileKey) return Stopped();
    RequireUnchanged(input.file, input.name);
    if (auto refused = ReadBackRefusal(settings_, output, *fileKey, legacy.Plaintext().Finish(), job))
        return std::move(*refused);
    output.file.Commit();
    if (!output.file.NotKept().empty()) options.observer->Notice(output.file.NotKept());
    return Finished(settings_, input, outputPath, BatchOutcome::Done);
}
