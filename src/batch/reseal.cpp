#include "batch/reseal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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
#include "platform/readlease.h"

namespace {
constexpr const char* kNotLegacy = "not a legacy file under this passphrase (no cipher's check block fits)";
constexpr const char* kOpenForWriting = "open for writing by another program; run reseal again once it is closed";

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

// An age file that exists already, opened: the digest of its plaintext, or why it does not
// open (empty when the observer stopped the run).
using ExistingOpening = std::variant<Sha256::Digest, std::string>;

// Opens the age file at path with unlocking; the reason it does not open names it.
ExistingOpening OpenExisting(const std::string& path, const Unlocking& unlocking, const FileOpOptions& options)
{
    auto opened = OpenRunInput(path, 0, *options.calls);
    if (const auto* refusal = std::get_if<RunRefusal>(&opened))
        return path + " exists and cannot be read (" + std::strerror(refusal->cause) + ")";
    RunInput& input = std::get<RunInput>(opened);
    FileSource source(input.file.fd.get(), input.name, *options.calls);
    HashingSink digest;
    try {
        if (!OpenAgeStream(source, digest, &unlocking, nullptr, SizeOf(input.file.info), options)) return std::string();
    } catch (const AgeError& e) {
        if (e.failure() == AgeFailure::IncorrectPassphrase)
            return path + " exists, sealed under another passphrase; move it aside to reseal into it";
        if (e.failure() == AgeFailure::NoIdentityMatched)
            return path + " exists and does not open with what was given (" + e.what() +
                   "); check it with an identity (key file) of its recipients or with its passphrase, or move it aside";
        return path + " exists and does not open (" + e.what() + ")";
    }
    return digest.Finish();
}

// Whether now, the file under the original's name, is still the file that was read, as it
// was: a rewrite that puts the modification time back still moves the change time.
bool StillAsRead(const struct stat& now, const struct stat& read)
{
    const auto same = [](const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
    return SameFile(now, read) && now.st_size == read.st_size &&
           same(now.st_mtim, read.st_mtim) && same(now.st_ctim, read.st_ctim);
}

void SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const FileDescriptor folder(::open(slash == std::string::npos ? "." : path.substr(0, slash + 1).c_str(),
                                       O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());  // best effort: the age file is on the disk already
}

FileReport Stopped()
{
    return {BatchOutcome::Stopped, {}, nullptr};
}

// A legacy file being resealed: its input, its age file's name and whether a read lease
// guards it.
struct Resealing {
    const BatchFile& file;
    RunInput& input;
    std::string outputPath;
    bool leased = false;
};

// Removes the original once its age file is committed, only while it is still the file that
// was read and no writer has broken its lease: report, or the skip that keeps the original.
FileReport RemoveOriginal(const Resealing& resealing, FileReport report, const FileOpOptions& options)
{
    const RunInput& input = resealing.input;
    if (resealing.file.viaLink) {
        report.detail += "; " + resealing.file.path +
                         " is a symbolic link, so the file it names is kept (name that file to remove it)";
        return report;
    }
    SyncFoldersOf(resealing.outputPath);  // folders made for it must outlast a crash, as it does
    struct stat now;
    if (::lstat(input.name.c_str(), &now) != 0) {
        if (errno != ENOENT) throw IoError::FromErrno(errno, input.name);
        report.detail += "; the original was removed by another run meanwhile";
        return report;
    }
    if ((resealing.leased && !ReadLeaseHolds(input.file.fd.get())) || !StillAsRead(now, input.file.info))
        return Skip(input.name + " changed while it was moved, so it is kept (" + resealing.outputPath +
                    " holds it as it was read)");
    if (::unlink(input.name.c_str()) != 0) throw IoError::FromErrno(errno, input.name);
    SyncFolderOf(input.name);
    report.detail += "; the original is removed";
    if (now.st_nlink > 1)
        options.observer->Notice(input.name + " had " + std::to_string(now.st_nlink - 1) +
                                 " more hard link(s), which still hold the legacy file");
    return report;
}

// The end of a file whose age file is on the disk, verified: the original is removed when
// asked for.
FileReport Finished(const ResealSettings& settings, const Resealing& resealing, BatchOutcome outcome,
                    const FileOpOptions& options)
{
    FileReport report{outcome, (outcome == BatchOutcome::Done ? "resealed as " : "already resealed as ") +
                                   resealing.outputPath, nullptr};
    return settings.deleteOriginals ? RemoveOriginal(resealing, std::move(report), options) : report;
}

// A NAME.age that exists already: done when it opens to the legacy file's plaintext, unless
// this run made it (from another file).
FileReport CheckExisting(const ResealSettings& settings, const Resealing& resealing, LegacyReading& legacy,
                         const MadeFiles& made, const BatchJob& job)
{
    const std::string& outputPath = resealing.outputPath;
    if (made.Has(outputPath)) return Skip(outputPath + " was made by this run from another file");
    if (settings.unlocking.identities.empty() && !settings.protection.passphrase)
        return Skip(outputPath + " exists, and checking it needs an identity of its recipients");
    RunInput& input = resealing.input;
    if (!legacy.ReadToEnd(job.counted.observer, SizeOf(input.file.info).value_or(0))) return Stopped();
    RequireUnchanged(input.file, input.name);
    const Sha256::Digest plaintext = legacy.Plaintext().Finish();
    const ExistingOpening existing = OpenExisting(outputPath, settings.unlocking, job.quiet);
    if (const auto* refusal = std::get_if<std::string>(&existing))
        return refusal->empty() ? Stopped() : Skip(*refusal);
    if (std::get<Sha256::Digest>(existing) != plaintext)
        return Skip(outputPath + " exists and does not open to the same plaintext");
    return Finished(settings, resealing, BatchOutcome::AlreadyDone, job.counted);
}

// What opens a new file's scrypt stanza in its check. The key that sealing derived, held in
// memory, opens only the stanza of the salt and work factor it came from, so one scrypt run
// per file suffices. Before an original is removed, the passphrase itself must open the new
// file: a second run, so that a fault in the first cannot cost the user their data.
Unlocking ScryptCheck(const ResealSettings& settings, const SealedKeys& keys)
{
    if (settings.deleteOriginals) return settings.unlocking;
    Unlocking sealed;
    sealed.sealedWith = keys.scrypt;
    return sealed;
}

// Reads the new file back from the disk and opens it whole with the file key (and, for a
// passphrase, its scrypt stanza too); nullopt when it gives the plaintext of that digest,
// else why it does not count.
std::optional<FileReport> ReadBackRefusal(const ResealSettings& settings, RunOutput& output, const SealedKeys& keys,
                                          const Sha256::Digest& plaintext, const BatchJob& job)
{
    const FileDescriptor back = output.file.ReadBack();
    FileSource written(back.get(), output.name, *job.quiet.calls);
    HashingSink readBack;
    const std::optional<Unlocking> alsoUnlock =
        settings.protection.passphrase ? std::optional(ScryptCheck(settings, keys)) : std::nullopt;
    const std::string unlike = output.name + " did not read back to the plaintext it was made from";
    try {
        if (!OpenAgeStream(written, readBack, alsoUnlock ? &*alsoUnlock : nullptr, &keys.fileKey, std::nullopt,
                           job.quiet))
            return Stopped();
    } catch (const AgeError& e) {
        return FileReport{BatchOutcome::Failed, unlike + " (" + e.what() + ")", nullptr};
    }
    if (readBack.Finish() != plaintext) return FileReport{BatchOutcome::Failed, unlike, nullptr};
    return std::nullopt;
}

std::optional<std::pair<dev_t, ino_t>> IdentityOf(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return std::pair{info.st_dev, info.st_ino};
}
}  // namespace

void MadeFiles::Add(const std::string& path)
{
    const auto identity = IdentityOf(path);
    const std::lock_guard lock(mutex_);
    if (identity) identities_.insert(*identity);
}

bool MadeFiles::Has(const std::string& path) const
{
    const auto identity = IdentityOf(path);
    const std::lock_guard lock(mutex_);
    return identity && identities_.contains(*identity);
}

std::optional<std::string> ResealTask::OutputOf(const BatchFile& file) const
{
    if (settings_.outputPath) return settings_.outputPath;
    return OutputPathFor(file, settings_.outputFolder) + std::string(kAgeSuffix);
}

FileReport ResealTask::Run(const BatchFile& file, const BatchJob& job) const
{
    const FileOpOptions& options = job.counted;
    auto opened = OpenBatchInput(file, kFormatPeekBytes, options);
    if (auto* report = std::get_if<FileReport>(&opened)) return std::move(*report);
    RunInput& input = std::get<RunInput>(opened);
    if (IsAge(FormatOf(input.taken))) return {BatchOutcome::PassedOver, {}, nullptr};
    const auto algorithm = FindLegacyCipher(input.taken, settings_.legacyPassphrase, settings_.cipher);
    if (!algorithm) return Skip(kNotLegacy);

    Resealing resealing{file, input, *OutputOf(file)};
    if (settings_.deleteOriginals && !file.viaLink) {
        const ReadLease lease = TakeReadLease(input.file.fd.get());
        if (lease == ReadLease::InUse) return Skip(kOpenForWriting);
        resealing.leased = lease == ReadLease::Held;
    }
    const std::string& outputPath = resealing.outputPath;
    LegacyReading legacy(input, *algorithm, settings_.legacyPassphrase, options);
    if (Exists(outputPath)) return CheckExisting(settings_, resealing, legacy, made_, job);

    auto created =
        OpenBatchOutput(file, input, outputPath, settings_.outputFolder, OutputFile::Existing::Refuse, options);
    if (auto* report = std::get_if<FileReport>(&created)) return std::move(*report);
    RunOutput& output = std::get<RunOutput>(created);
    output.file.LimitModeTo(input.file.info.st_mode | S_IRUSR | S_IWUSR);
    OutputSink sink(output.file, output.name);
    const auto keys = SealAgeStream(legacy.Plaintext(), sink, settings_.protection, file.size, options);
    if (!keys) return Stopped();
    RequireUnchanged(input.file, input.name);
    if (auto refused = ReadBackRefusal(settings_, output, *keys, legacy.Plaintext().Finish(), job))
        return std::move(*refused);
    try {
        output.file.Commit();
    } catch (const OutputExists&) {
        return Skip(outputPath + " was made by another run meanwhile; run reseal again to check it");
    }
    made_.Add(outputPath);
    if (!output.file.NotKept().empty()) options.observer->Notice(output.file.NotKept());
    return Finished(settings_, resealing, BatchOutcome::Done, options);
}

FileReport ResealFileTo(const std::string& inputName, const std::string& outputName, ResealSettings settings,
                        const BatchJob& job)
{
    BatchFile file{inputName, inputName.substr(inputName.rfind('/') + 1)};
    struct stat info;
    if (::stat(inputName.c_str(), &info) == 0) file.size = static_cast<std::uint64_t>(info.st_size);
    settings.outputFolder.reset();
    settings.outputPath = outputName;
    return ResealTask(std::move(settings)).Run(file, job);
}
