#include "batch/batchsupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "formats/outcometext.h"
#include "platform/ioerror.h"
#include "platform/outputfile.h"

std::string OutputPathFor(const BatchFile& file, const std::optional<std::string>& folder)
{
    if (!folder) return file.path;
    return *folder + (folder->ends_with('/') ? "" : "/") + file.relative;
}

namespace {
// The mode a folder made at outputFolder/relativeFolder takes: that of the folder it mirrors,
// at relativeFolder below the path file was found under, so that a private folder stays
// private; 0777 (less the umask) for the folders above the output folder.
mode_t MirroredMode(const BatchFile& file, const std::string& outputFolder, const std::string& made)
{
    const std::string root = file.path.substr(0, file.path.size() - file.relative.size());
    const std::string folder = outputFolder.ends_with('/') ? outputFolder : outputFolder + "/";
    if (made.size() + 1 < folder.size()) return 0777;
    const std::string mirrored = root + made.substr(std::min(made.size(), folder.size()));
    struct stat info;
    if (::stat(mirrored.empty() ? "." : mirrored.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return 0777;
    return info.st_mode & 0777;
}
}  // namespace

std::optional<int> CreateFoldersFor(const BatchFile& file, const std::string& outputPath,
                                    const std::optional<std::string>& folder)
{
    if (!folder) return std::nullopt;
    for (std::size_t slash = outputPath.find('/', 1); slash != std::string::npos;
         slash = outputPath.find('/', slash + 1)) {
        const std::string path = outputPath.substr(0, slash);
        if (::mkdir(path.c_str(), MirroredMode(file, *folder, path)) == 0 || errno == EEXIST) continue;
        return errno;
    }
    return std::nullopt;
}

void SyncFoldersOf(const std::string& path)
{
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0; slash = path.rfind('/', slash - 1)) {
        const FileDescriptor folder(::open(path.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.get() >= 0) ::fsync(folder.get());  // best effort, as after every commit
    }
    const FileDescriptor top(::open(path.starts_with('/') ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (top.get() >= 0) ::fsync(top.get());
}

bool Exists(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

std::variant<RunInput, FileReport> OpenBatchInput(const BatchFile& file, std::size_t peekBytes,
                                                  const FileOpOptions& options)
{
    auto opened = OpenRunInput(file.path, peekBytes, *options.calls);
    if (const auto* refusal = std::get_if<RunRefusal>(&opened))
        return Skip(std::string("cannot be read (") + std::strerror(refusal->cause) + ")");
    return std::move(std::get<RunInput>(opened));
}

std::variant<RunOutput, FileReport> OpenBatchOutput(const BatchFile& file, const RunInput& input,
                                                    const std::string& path, const std::optional<std::string>& folder,
                                                    OutputFile::Existing existing, const FileOpOptions& options)
{
    const auto cannotCreate = [&path](int cause) {
        return Skip(path + ": " + FileOpMessage(FileOpResult::OutputOpenFailed, FileOperation::Encrypt) + " (" +
                    std::strerror(cause) + ")");
    };
    if (const auto cause = CreateFoldersFor(file, path, folder)) return cannotCreate(*cause);
    auto created = OpenRunOutput(input, path, *options.calls, existing);
    if (const auto* refusal = std::get_if<RunRefusal>(&created)) {
        if (refusal->result == FileOpResult::SameNames) return Skip("would be its own output " + path);
        if (refusal->cause == EEXIST) throw OutputExists(path);
        if (refusal->cause == EWOULDBLOCK) return Skip(path + " is being written in place by another run");
        return cannotCreate(refusal->cause);
    }
    TellWrittenInPlace(std::get<RunOutput>(created), options);
    return std::move(std::get<RunOutput>(created));
}

FileReport Skip(std::string reason)
{
    return {BatchOutcome::Skipped, std::move(reason), nullptr};
}

std::size_t HashingSource::Read(std::uint8_t* buffer, std::size_t count)
{
    const std::size_t read = source_.Read(buffer, count);
    digest_.Update(buffer, read);
    return read;
}
