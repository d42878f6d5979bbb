#include "cli/cli.h"

#include <fstream>
#include <iomanip>
#include <utility>

#include "cipher/registry.h"
#include "fileenc/fileop.h"
#include "platform/ioerror.h"
#include "fileenc/passphrase.h"

namespace {
constexpr const char* kUsageText =
    "usage: zorvanta-cli encrypt|decrypt --cipher NAME [PASSPHRASE OPTION] INPUT OUTPUT\n"
    "       zorvanta-cli ciphers\n"
    "       zorvanta-cli --help\n"
    "\n"
    "Encrypts or decrypts a whole file under a passphrase, in the format of the Zorvanta\n"
    "file windows: a 32-byte check block, then the CBC ciphertext, as long as the file.\n"
    "A file must be decrypted with the cipher that encrypted it.\n"
    "\n"
    "The passphrase is asked on the terminal without echo (twice when encrypting), or:\n"
    "  --passphrase-file F    the first line of file F (UTF-8, without its line ending)\n"
    "  --passphrase-env VAR   the value of environment variable VAR\n"
    "  --passphrase-hex HEX   exact bytes in hexadecimal (empty HEX: the empty passphrase)\n"
    "\n"
    "Cipher names (any letter case): see 'zorvanta-cli ciphers'.\n"
    "Exit status: 0 done, 1 refused (names, opening, wrong passphrase), 2 bad usage, 3 I/O error.\n";

struct UsageError {
    std::string message;
};

// Copies of the passphrase belong to this front end, which overwrites them, spare capacity
// included, before their memory is given back.
template <class Buffer>  // std::string or std::vector<std::uint8_t>
void Wipe(Buffer& buffer) noexcept
{
    buffer.resize(buffer.capacity());  // within the capacity: no allocation
    if (!buffer.empty()) SecureFill(buffer.data(), buffer.size(), 0);  // an empty vector has no data
}

template <class Buffer>
void Wipe(std::optional<Buffer>& buffer) noexcept
{
    if (buffer) Wipe(*buffer);
}

template <class Buffer>
struct WipeOnExit {
    Buffer& buffer;
    ~WipeOnExit() { Wipe(buffer); }
};

// Appends without leaving a copy behind in memory given back when the text grows.
void AppendWiping(std::string& text, char c)
{
    if (text.size() == text.capacity()) {
        std::string larger;
        larger.reserve(2 * text.capacity() + 1);
        larger = text;
        Wipe(text);
        text.swap(larger);
    }
    text += c;
}

struct Command {
    FileOperation operation;
    std::string cipher, input, output;
    std::optional<std::string> passphraseFile, passphraseEnv, passphraseHex;
};

SecretBytes FromHex(const std::string& hex)
{
    if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw UsageError{"--passphrase-hex takes hexadecimal digits, two per byte"};
    auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    SecretBytes bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
    return bytes;
}

Command Parse(const std::vector<std::string>& args)
{
    Command command{args[0] == "encrypt" ? FileOperation::Encrypt : FileOperation::Decrypt, {}, {}, {}, {}, {}, {}};
    std::vector<std::string> names;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto eq = arg.find('=');
        const std::string option = arg.rfind("--", 0) == 0 ? arg.substr(0, eq) : "";
        auto value = [&]() -> std::string {
            if (eq != std::string::npos) return arg.substr(eq + 1);
            if (++i == args.size()) throw UsageError{option + " needs a value"};
            return args[i];
        };
        if (option == "--cipher") command.cipher = value();
        else if (option == "--passphrase-file") command.passphraseFile = value();
        else if (option == "--passphrase-env") command.passphraseEnv = value();
        else if (option == "--passphrase-hex") command.passphraseHex = value();
        else if (arg == "--") names.insert(names.end(), args.begin() + static_cast<long>(i) + 1, args.end()), i = args.size();
        else if (!option.empty()) throw UsageError{"unknown option " + option};
        else names.push_back(arg);
    }
    if (command.cipher.empty()) throw UsageError{"--cipher NAME is required"};
    if (names.size() != 2) throw UsageError{"give exactly two file names: INPUT OUTPUT"};
    const int sources = command.passphraseFile.has_value() + command.passphraseEnv.has_value() + command.passphraseHex.has_value();
    if (sources > 1) throw UsageError{"give at most one passphrase option"};
    command.input = names[0];
    command.output = names[1];
    return command;
}

// Unbuffered, so that no stream buffer keeps a copy of the passphrase.
std::optional<std::string> FirstLineOf(const std::string& path)
{
    std::ifstream in;
    in.rdbuf()->pubsetbuf(nullptr, 0);
    in.open(path, std::ios::binary);
    if (!in) throw UsageError{"cannot read the passphrase file " + path};
    std::optional<std::string> line(std::in_place);
    for (char c; in.get(c) && c != '\n';) AppendWiping(*line, c);
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return line;
}

std::optional<std::string> TypedPassphrase(FileOperation operation, CliEnvironment& env)
{
    auto typed = env.askHidden("Passphrase: ");
    if (typed && operation == FileOperation::Encrypt) {
        auto again = env.askHidden("Passphrase again: ");
        WipeOnExit wipeAgain{again};
        if (again != typed) {
            Wipe(typed);
            throw UsageError{"the two passphrases differ"};
        }
    }
    return typed;  // the one return: the caller's object itself, no copy left here
}

std::optional<std::string> PassphraseText(const Command& command, CliEnvironment& env)
{
    if (command.passphraseFile) return FirstLineOf(*command.passphraseFile);
    if (command.passphraseEnv) return env.variable(*command.passphraseEnv);
    return TypedPassphrase(command.operation, env);
}

SecretBytes Passphrase(const Command& command, CliEnvironment& env)
{
    if (command.passphraseHex) return FromHex(*command.passphraseHex);
    auto text = PassphraseText(command, env);
    WipeOnExit wipeText{text};
    if (!text && command.passphraseEnv)
        throw UsageError{"environment variable " + *command.passphraseEnv + " is not set"};
    if (!text) throw UsageError{"no terminal to ask for the passphrase; use a passphrase option"};
    return PassphraseBytes(*text);
}

void ListCiphers(std::ostream& out)
{
    out << "cipher     block  key sizes (bits)  key used for files\n";
    for (const CipherEntry& entry : AllCiphers()) {
        const auto cipher = entry.create();
        const int max = cipher->MaxKeySize();
        out << std::left << std::setw(11) << cipher->Algorithm() << std::setw(7) << cipher->BlockSize()
            << std::setw(18) << ("8.." + std::to_string(max)) << std::min(max, 256) << '\n';
    }
}

int RunFileCommand(const std::vector<std::string>& args, CliEnvironment& env)
{
    Command command = Parse(args);
    WipeOnExit wipeHex{command.passphraseHex};
    const auto cipher = CreateCipher(command.cipher);
    if (!cipher) throw UsageError{"unknown cipher " + command.cipher + " (see 'zorvanta-cli ciphers')"};
    const SecretBytes passphrase = Passphrase(command, env);
    const FileOpResult result = command.operation == FileOperation::Encrypt
                                    ? EncryptFile(command.input, command.output, passphrase, *cipher)
                                    : DecryptFile(command.input, command.output, passphrase, *cipher);
    const auto wording = cipher->Algorithm() == "Gost" ? MessageWording::Gost : MessageWording::Standard;
    const bool done = result == FileOpResult::Encrypted || result == FileOpResult::Decrypted;
    (done ? env.out : env.err) << FileOpMessage(result, command.operation, wording) << '\n';
    return done ? exitcode::kSuccess : exitcode::kRefused;
}
}  // namespace

int RunCli(const std::vector<std::string>& args, CliEnvironment& env)
{
    try {
        if (args.empty()) throw UsageError{"no command given"};
        if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
            env.out << kUsageText;
            return exitcode::kSuccess;
        }
        if (args[0] == "ciphers" && args.size() == 1) {
            ListCiphers(env.out);
            return exitcode::kSuccess;
        }
        if (args[0] == "encrypt" || args[0] == "decrypt") return RunFileCommand(args, env);
        throw UsageError{"unknown command " + args[0]};
    } catch (const UsageError& e) {
        env.err << "zorvanta-cli: " << e.message << "\n\n" << kUsageText;
        return exitcode::kUsage;
    } catch (const ZorvantaError& e) {
        env.err << WithFullStop(e.what()) << '\n';
        return exitcode::kIoError;
    }
}
