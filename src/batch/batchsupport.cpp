#include "batch/batchsupport.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/ioerror.h"
#include "platform/outputfile.h"

std::string OutputPathFor(const BatchFile& file, const std::optional<std::string>& folder)
{
    if (!folder) return file.path;
    return *folder + (folder->ends_with('/') ? "" : "/") + file.relative;
}

void CreateFoldersFor(const std::string& outputPath, const std::optional<std::string>& folder)
{
    if (!folder) return;
    for (std::size_t slash = outputPath.find('/', 1); slash != std::string::npos;
         slash = outputPath.find('/', slash + 1)) {
        const std::string path = outputPath.substr(0, slash);
        if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) continue;
        throw IoError::FromErrno(errno, path);
    }
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

std::variant<RunOutput, FileReport> OpenBatchOutput(const RunInput& input, const std::string& path,
                                                    const std::optional<std::string>& folder,
                                                    OutputFile::Existing existing, const FileOpOptions& options)
{
    CreateFoldersFor(path, folder);
    auto created = OpenRunOutput(input, path, *options.calls, existing);
    if (const auto* refusal = std::get_if<RunRefusal>(&created)) {
        if (refusal->result == FileOpResult::SameNames) return Skip("would be its own output " + path);
        if (refusal->cause == EEXIST) throw OutputExists(path);
        if (refusal->cause == EWOULDBLOCK) return Skip(path + " is being written in place by another run");
        throw IoError::FromErrno(refusal->cause, path);
    }
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
