#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <span>
#include <string_view>

#include "age/agecrypto.h"
#include "age/stanzas.h"
#include "cli/exitstatus.h"
#include "cli/usage.h"
#include "pipeline/cores.h"
#include "version.h"

namespace {
constexpr int kLargestMaxWorkFactor = 30;

enum VerbBit : unsigned {
    kEncrypt = 1,
    kDecrypt = 2,
    kCheck = 4,
    kKeygen = 8,
    kReseal = 16,
    kFileVerbs = kEncrypt | kDecrypt,
    kOpening = kDecrypt | kCheck,
    kAll = kEncrypt | kDecrypt | kCheck,
    kBatch = kAll | kReseal,
};

struct VerbSpec {
    Verb verb;
    std::string_view name;
    unsigned bit;  // 0: takes no options
    std::string_view usage;
    std::string_view summary;
};

constexpr VerbSpec kVerbs[] = {
    {Verb::Encrypt, "encrypt", kEncrypt, "encrypt (--cipher NAME | --format age) [OPTION]... INPUT [OUTPUT]",
     "encrypt INPUT into OUTPUT ('-' for either: standard input or output)"},
    {Verb::Decrypt, "decrypt", kDecrypt, "decrypt [--cipher NAME|auto] [-i FILE]... [OPTION]... INPUT [OUTPUT]",
     "decrypt INPUT into OUTPUT, either format; nothing is written before the file opens"},
    {Verb::Check, "check", kCheck, "check [--cipher NAME|auto] [-i FILE]... [OPTION]... FILE",
     "tell whether FILE opens (with which cipher; an age file is authenticated whole); writes nothing"},
    {Verb::Reseal, "reseal", kReseal,
     "reseal [PASSPHRASE OPTION] [--cipher NAME|auto] [NEW PROTECTION] [OPTION]... PATH...",
     "move legacy files to the age format: NAME becomes NAME.age, checked before it counts; no plaintext is "
     "written"},
    {Verb::Keygen, "keygen", kKeygen, "keygen [-o FILE] | keygen -y [PASSPHRASE OPTION] FILE",
     "make an age identity (a key pair), or print the recipients of the identities in FILE"},
    {Verb::Ciphers, "ciphers", 0, "ciphers", "list the ciphers, their sizes and other names"},
    {Verb::Selftest, "selftest", 0, "selftest", "run the known-answer tests of every cipher, SHA-1 and the file format"},
    {Verb::Bench, "bench", 0, "bench", "measure CBC encryption and decryption per cipher on this machine"},
    {Verb::Help, "help", 0, "help [COMMAND]", "show this help, or the help of COMMAND"},
};

// Bytes as a short text: whole GiB, or MiB below one GiB.
std::string MemoryText(std::uint64_t bytes)
{
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20, kGiB = kMiB << 10;
    return bytes >= kGiB ? std::to_string(bytes / kGiB) + " GiB" : std::to_string(bytes / kMiB) + " MiB";
}

// A scrypt work factor as typed: a whole number from 1 to largest (why: the reason for that
// bound), whose scrypt run the machine's memory holds.
int WorkFactor(const std::string& text, std::string_view option, int largest, std::string_view why)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > largest)
        throw UsageError{std::string(option) + " takes a whole number from 1 to " + std::to_string(largest) +
                         std::string(why)};
    if (value > LargestWorkFactorInMemory())
        throw UsageError{std::string(option) + " " + text + " needs " + MemoryText(ScryptMemoryBytes(value)) +
                         " of memory, more than this machine has (" + MemoryText(PhysicalMemoryBytes()) +
                         "): give at most " + std::to_string(LargestWorkFactorInMemory())};
    return value;
}

// A number of jobs as typed: a whole number from 1 to 1024.
std::size_t JobCount(const std::string& text)
{
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 1024)
        throw UsageError{"--jobs takes a whole number from 1 to 1024"};
    return value;
}

struct OptionSpec {
    std::string_view name;
    char letter;               // 0: no short form
    std::string_view value;    // empty: a switch
    unsigned verbs;
    std::string_view help;
    void (*set)(Command&, std::string&&);
};

constexpr OptionSpec kOptions[] = {
    {"cipher", 'c', "NAME", kBatch,
     "the cipher of a legacy file: a name or alias from 'zorvanta-cli ciphers' (any letter case); 'auto', the "
     "default for decrypt, check and reseal, tries every cipher and names the one that fits",
     [](Command& c, std::string&& v) { c.cipher = std::move(v); }},
    {"format", 0, "NAME", kEncrypt,
     "'age' for an age file (c2sp.org/age: authenticated, a salted passphrase or public keys), 'legacy' for the "
     "check block format (the default with --cipher)",
     [](Command& c, std::string&& v) {
         if (v != "age" && v != "legacy") throw UsageError{"--format takes 'age' or 'legacy'"};
         c.format = std::move(v);
     }},
    {"recipient", 'r', "KEY", kEncrypt | kReseal,
     "encrypt to this public key: age1..., or an SSH key line 'ssh-ed25519 AAAA...' or 'ssh-rsa AAAA...' (quoted); "
     "may be repeated; implies --format age (reseal: the age files are made for it instead of a passphrase)",
     [](Command& c, std::string&& v) { c.recipients.push_back(std::move(v)); }},
    {"recipients-file", 'R', "FILE", kEncrypt | kReseal,
     "encrypt to the public keys in FILE ('-': standard input), one a line as for -r ('#' comments and blank lines "
     "allowed), such as ~/.ssh/id_ed25519.pub or a code host's NAME.keys; SSH key types that cannot be recipients "
     "(ecdsa, sk-...) are skipped with a warning; may be repeated; implies --format age (reseal: as -r)",
     [](Command& c, std::string&& v) { c.recipientsFiles.push_back(std::move(v)); }},
    {"armor", 'a', "", kEncrypt, "write the age file as text (PEM armor); implies --format age",
     [](Command& c, std::string&&) { c.armor = true; }},
    {"work-factor", 0, "N", kEncrypt | kReseal,
     "the age passphrase's scrypt work factor, log2 of its cost: 1 to 22, the largest every age tool opens "
     "(default 18, about a second and 256 MiB)",
     [](Command& c, std::string&& v) {
         c.workFactor = WorkFactor(v, "--work-factor", kLargestWrittenWorkFactor,
                                   " (age tools refuse a file of a larger one)");
     }},
    {"identity", 'i', "FILE", kOpening | kReseal,
     "open age files with the identities (AGE-SECRET-KEY-1...) in FILE, which may itself be an age file under a "
     "passphrase, or with the SSH private key in FILE (such as ~/.ssh/id_ed25519; a protected one asks for its "
     "passphrase only when a file is for it); may be repeated (reseal: to check a NAME.age made for recipients "
     "before)",
     [](Command& c, std::string&& v) { c.identityFiles.push_back(std::move(v)); }},
    {"max-work-factor", 0, "N", kOpening,
     "open age passphrase files of a work factor up to N: 1 to 30, as far as the memory holds (default 22)",
     [](Command& c, std::string&& v) { c.maxWorkFactor = WorkFactor(v, "--max-work-factor", kLargestMaxWorkFactor, ""); }},
    {"public", 'y', "", kKeygen, "print the recipient (public key) of each identity in FILE, one a line",
     [](Command& c, std::string&&) { c.publicKeys = true; }},
    {"output", 'o', "FILE", kFileVerbs | kKeygen, "write to FILE instead of the second name (keygen: instead of "
     "standard output)",
     [](Command& c, std::string&& v) { c.output = std::move(v); }},
    {"force", 'f', "", kFileVerbs | kKeygen, "replace an existing OUTPUT file (without it, an existing file is refused)",
     [](Command& c, std::string&&) { c.force = true; }},
    {"passphrase-file", 0, "FILE", kBatch | kKeygen,
     "the passphrase is the first line of FILE (UTF-8, without its line ending and a byte-order mark; at most "
     "64 KiB)",
     [](Command& c, std::string&& v) { c.passphraseFile = std::move(v); }},
    {"passphrase-fd", 0, "N", kBatch | kKeygen, "the first line read from file descriptor N, as for --passphrase-file",
     [](Command& c, std::string&& v) { c.passphraseFd = std::move(v); }},
    {"passphrase-env", 0, "VAR", kBatch | kKeygen, "the value of environment variable VAR",
     [](Command& c, std::string&& v) { c.passphraseEnv = std::move(v); }},
    {"passphrase-hex", 0, "HEX", kBatch | kKeygen,
     "the passphrase's exact bytes in hexadecimal; other users see it in 'ps': prefer the options above",
     [](Command& c, std::string&& v) { c.passphraseHex = std::move(v); }},
    {"allow-empty-passphrase", 0, "", kBatch, "accept the empty passphrase (refused otherwise)",
     [](Command& c, std::string&&) { c.allowEmptyPassphrase = true; }},
    {"new-passphrase-file", 0, "FILE", kReseal,
     "protect the age files with the first line of FILE instead of the legacy passphrase",
     [](Command& c, std::string&& v) { c.newPassphraseFile = std::move(v); }},
    {"new-passphrase-fd", 0, "N", kReseal, "protect the age files with the first line read from descriptor N",
     [](Command& c, std::string&& v) { c.newPassphraseFd = std::move(v); }},
    {"new-passphrase-env", 0, "VAR", kReseal, "protect the age files with the value of environment variable VAR",
     [](Command& c, std::string&& v) { c.newPassphraseEnv = std::move(v); }},
    {"recursive", 0, "", kBatch, "take the files in named folders and below them (symbolic links are not followed)",
     [](Command& c, std::string&&) { c.recursive = true; }},
    {"output-dir", 0, "DIR", kBatch,
     "write each output under DIR, at the place of its file below the named PATH (makes encrypt and decrypt take "
     "many files)",
     [](Command& c, std::string&& v) { c.outputDir = std::move(v); }},
    {"jobs", 'j', "N", kBatch,
     "work on N files at once (default: one per core, but no more scrypt runs at once than half the memory holds)",
     [](Command& c, std::string&& v) { c.jobs = JobCount(v); }},
    {"delete-originals", 0, "", kReseal,
     "remove each legacy file once its NAME.age is verified and on the disk",
     [](Command& c, std::string&&) { c.deleteOriginals = true; }},
    {"progress", 0, "", kBatch,
     "show bytes, percent, speed and time left on standard error (the default on a terminal for inputs over 64 MiB, "
     "and for many files)",
     [](Command& c, std::string&&) { c.progress = true; }},
    {"no-progress", 0, "", kBatch, "show no progress line", [](Command& c, std::string&&) { c.progress = false; }},
    {"quiet", 'q', "", kBatch, "print no line on success (for many files: no line per file done)", [](Command& c, std::string&&) { c.quiet = true; }},
};

constexpr std::string_view kDescription =
    "Encrypts or decrypts a whole file in one of two formats. The legacy format is that of the\n"
    "Zorvanta file windows: a 32-byte check block made from the passphrase, then the CBC\n"
    "ciphertext, exactly as long as the file. The age format (c2sp.org/age) authenticates every\n"
    "64 KiB and protects the file with a salted passphrase or with public keys; any age tool\n"
    "opens it. decrypt and check tell the format from the file's first bytes. Data goes to\n"
    "standard output only when OUTPUT is '-'; every message goes to standard error.\n";

constexpr std::string_view kPassphraseText =
    "Passphrase:\n"
    "  Without a passphrase option it is asked on the terminal without echo (twice when\n"
    "  encrypting). The empty passphrase is refused unless --allow-empty-passphrase is given.\n"
    "  A legacy file hashes it in Windows-1252 where it fits; an age file takes its UTF-8 bytes,\n"
    "  as every age tool does. Opening an age file to identities asks for no passphrase.\n"
    "  reseal reads it once: it opens the legacy files and, unless -r, -R or a --new-passphrase\n"
    "  option is given, protects their age files too.\n";

// Every exit status, each wrapped under its number.
std::string ExitText()
{
    std::string text = "Exit status:\n";
    for (const ExitStatus& status : kExitStatuses) {
        const std::string code = std::to_string(status.code);
        text += "  " + code + std::string(6 - code.size(), ' ');
        std::string_view rest = status.meaning;
        while (rest.size() > 72) {
            const std::size_t cut = rest.rfind(' ', 72);
            text += std::string(rest.substr(0, cut)) + "\n" + std::string(8, ' ');
            rest.remove_prefix(cut + 1);
        }
        text += std::string(rest) + "\n";
    }
    return text;
}

const VerbSpec* FindVerb(std::string_view name)
{
    const auto found = std::ranges::find(kVerbs, name, &VerbSpec::name);
    return found == std::end(kVerbs) ? nullptr : &*found;
}

const VerbSpec& SpecOf(Verb verb)
{
    return *std::ranges::find(kVerbs, verb, &VerbSpec::verb);
}

const OptionSpec* FindOption(std::string_view name, unsigned verb)
{
    for (const OptionSpec& option : kOptions)
        if ((option.verbs & verb) &&
            (option.name == name || (name.size() == 1 && option.letter == name[0])))
            return &option;
    return nullptr;
}

std::string OptionLines(unsigned verbs)
{
    std::string text;
    for (const OptionSpec& option : kOptions) {
        if (!(option.verbs & verbs)) continue;
        std::string head = "  ";
        head += option.letter ? std::string{'-', option.letter, ','} + " " : "    ";
        head += "--" + std::string(option.name) + (option.value.empty() ? "" : " " + std::string(option.value));
        text += head + (head.size() < 30 ? std::string(30 - head.size(), ' ') : "\n" + std::string(30, ' '));
        // Wrapped at 80 columns, continued under the text.
        std::string_view rest = option.help;
        while (rest.size() > 50) {
            const std::size_t cut = rest.rfind(' ', 50);
            text += std::string(rest.substr(0, cut)) + "\n" + std::string(30, ' ');
            rest.remove_prefix(cut + 1);
        }
        text += std::string(rest) + "\n";
    }
    text += "  -h, --help                  show the help of the command and stop\n";
    return text;
}

// A command's summary as the sentence that opens its help.
std::string Sentence(std::string_view summary)
{
    std::string text(summary);
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".\n";
}

// The value of option: the word after args[i], which i moves on to.
std::string NextWord(const std::vector<std::string>& args, std::size_t& i, const OptionSpec& option)
{
    if (++i == args.size()) throw UsageError{"--" + std::string(option.name) + " needs a value"};
    return args[i];
}

// --name, --name=VALUE or --name VALUE at args[i]; i ends on the last word used.
void TakeLongOption(const std::vector<std::string>& args, std::size_t& i, Command& command, unsigned verbBit)
{
    const std::string& arg = args[i];
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    const OptionSpec* option = FindOption(name, verbBit);
    if (!option) throw UsageError{"unknown option --" + name};
    if (option->value.empty() && eq != std::string::npos) throw UsageError{arg + ": takes no value"};
    if (option->value.empty()) return option->set(command, {});
    option->set(command, eq != std::string::npos ? arg.substr(eq + 1) : NextWord(args, i, *option));
}

// -x at args[i], or several switches together (-fq); a letter that takes a value takes the rest
// of the word (-ofile) or the next word.
void TakeShortOptions(const std::vector<std::string>& args, std::size_t& i, Command& command, unsigned verbBit)
{
    const std::string& arg = args[i];
    for (std::size_t at = 1; at < arg.size(); ++at) {
        const OptionSpec* option = FindOption(arg.substr(at, 1), verbBit);
        if (!option) throw UsageError{"unknown option -" + arg.substr(at, 1)};
        if (option->value.empty()) {
            option->set(command, {});
            continue;
        }
        option->set(command, at + 1 < arg.size() ? arg.substr(at + 1) : NextWord(args, i, *option));
        return;
    }
}
}  // namespace

Command ParseCommandLine(const std::vector<std::string>& args)
{
    Command command;
    if (args.empty()) throw UsageError{"no command given"};
    const std::string& first = args[0];
    if (first == "--help" || first == "-h") return command;
    if (first == "--version" || first == "-V") {
        command.verb = Verb::Version;
        return command;
    }
    const VerbSpec* verb = FindVerb(first);
    if (!verb) throw UsageError{"unknown command " + first};
    command.verb = verb->verb;
    bool namesOnly = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (namesOnly || arg == "-" || arg.empty() || arg[0] != '-') {
            command.names.push_back(arg);
        } else if (arg == "--") {
            namesOnly = true;
        } else if (arg == "--help" || arg == "-h") {
            command.helpTopic = verb->verb;
            command.verb = Verb::Help;
            return command;
        } else if (arg.starts_with("--")) {
            TakeLongOption(args, i, command, verb->bit);
        } else {
            TakeShortOptions(args, i, command, verb->bit);
        }
    }
    if (command.verb == Verb::Help) {
        if (command.names.size() > 1) throw UsageError{"help takes one command name"};
        if (!command.names.empty()) {
            const VerbSpec* topic = FindVerb(command.names[0]);
            if (!topic) throw UsageError{"unknown command " + command.names[0]};
            command.helpTopic = topic->verb;
        }
    } else if (verb->bit == 0 && !command.names.empty()) {
        throw UsageError{std::string(verb->name) + " takes no names"};
    } else if ((verb->bit & kFileVerbs) && (command.recursive || command.jobs) && !command.outputDir) {
        throw UsageError{"--recursive and --jobs take many files, whose outputs need --output-dir DIR"};
    }
    return command;
}

bool IsBatch(const Command& command)
{
    if (command.verb == Verb::Reseal) return true;
    if (command.verb == Verb::Check) return command.names.size() > 1 || command.recursive || command.jobs;
    return command.outputDir.has_value();
}

bool WantsAge(const Command& command)
{
    return command.format == "age" || !command.recipients.empty() || !command.recipientsFiles.empty() || command.armor;
}

std::string UsageLines(std::optional<Verb> topic)
{
    std::string text;
    for (const VerbSpec& verb : kVerbs)
        if (!topic || verb.verb == *topic)
            text += (text.empty() ? "Usage: zorvanta-cli " : "  or:  zorvanta-cli ") + std::string(verb.usage) + "\n";
    if (!topic) text += "  or:  zorvanta-cli --version\n";
    return text;
}

std::string HelpText(std::optional<Verb> topic)
{
    if (topic && SpecOf(*topic).bit == 0) return UsageLines(topic) + Sentence(SpecOf(*topic).summary);
    std::string text = UsageLines(topic);
    if (topic) {
        text += Sentence(SpecOf(*topic).summary) + "\nOptions:\n" + OptionLines(SpecOf(*topic).bit);
        return text + "\n" + std::string(kPassphraseText) + "\n" + ExitText();
    }
    text += "\n" + std::string(kDescription) + "\nCommands:\n";
    for (const VerbSpec& verb : kVerbs) {
        const std::string head = "  " + std::string(verb.name);
        text += head + std::string(12 - head.size(), ' ') + std::string(verb.summary) + "\n";
    }
    text += "\nOptions:\n" + OptionLines(kBatch | kKeygen) + "  -V, --version               print the version and stop\n";
    text += "\n" + std::string(kPassphraseText) + "\n" + ExitText();
    return text;
}

std::string VersionText()
{
    return std::string("zorvanta-cli ") + kZorvantaVersion + "\n";
}

int LargestMaxWorkFactor()
{
    return std::min(kLargestMaxWorkFactor, LargestWorkFactorInMemory());
}

std::optional<Verb> VerbNamed(const std::string& name)
{
    const VerbSpec* verb = FindVerb(name);
    return verb ? std::optional(verb->verb) : std::nullopt;
}
