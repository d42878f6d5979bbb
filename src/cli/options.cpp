#include "cli/options.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "cli/usage.h"
#include "version.h"

namespace {
enum VerbBit : unsigned { kEncrypt = 1, kDecrypt = 2, kCheck = 4, kFileVerbs = kEncrypt | kDecrypt, kAll = 7 };

struct VerbSpec {
    Verb verb;
    std::string_view name;
    unsigned bit;  // 0: takes no options
    std::string_view usage;
    std::string_view summary;
};

constexpr VerbSpec kVerbs[] = {
    {Verb::Encrypt, "encrypt", kEncrypt, "encrypt --cipher NAME [OPTION]... INPUT [OUTPUT]",
     "encrypt INPUT into OUTPUT ('-' for either: standard input or output)"},
    {Verb::Decrypt, "decrypt", kDecrypt, "decrypt --cipher NAME|auto [OPTION]... INPUT [OUTPUT]",
     "decrypt INPUT into OUTPUT; the passphrase is checked before a byte is written"},
    {Verb::Check, "check", kCheck, "check [--cipher NAME|auto] [OPTION]... FILE",
     "tell whether the passphrase opens FILE, and with which cipher; writes nothing"},
    {Verb::Ciphers, "ciphers", 0, "ciphers", "list the ciphers, their sizes and other names"},
    {Verb::Selftest, "selftest", 0, "selftest", "run the known-answer tests of every cipher, SHA-1 and the file format"},
    {Verb::Bench, "bench", 0, "bench", "measure CBC encryption and decryption per cipher on this machine"},
    {Verb::Help, "help", 0, "help [COMMAND]", "show this help, or the help of COMMAND"},
};

struct OptionSpec {
    std::string_view name;
    char letter;               // 0: no short form
    std::string_view value;    // empty: a switch
    unsigned verbs;
    std::string_view help;
    void (*set)(Command&, std::string&&);
};

constexpr OptionSpec kOptions[] = {
    {"cipher", 'c', "NAME", kAll,
     "the cipher: a name or alias from 'zorvanta-cli ciphers' (any letter case); 'auto' for decrypt and check "
     "tries every cipher on a file and names the one that fits",
     [](Command& c, std::string&& v) { c.cipher = std::move(v); }},
    {"output", 'o', "FILE", kFileVerbs, "write to FILE instead of the second name",
     [](Command& c, std::string&& v) { c.output = std::move(v); }},
    {"force", 'f', "", kFileVerbs, "replace an existing OUTPUT file (without it, an existing file is refused)",
     [](Command& c, std::string&&) { c.force = true; }},
    {"passphrase-file", 0, "FILE", kAll,
     "the passphrase is the first line of FILE (UTF-8, without its line ending and a byte-order mark; at most "
     "64 KiB)",
     [](Command& c, std::string&& v) { c.passphraseFile = std::move(v); }},
    {"passphrase-fd", 0, "N", kAll, "the first line read from file descriptor N, as for --passphrase-file",
     [](Command& c, std::string&& v) { c.passphraseFd = std::move(v); }},
    {"passphrase-env", 0, "VAR", kAll, "the value of environment variable VAR",
     [](Command& c, std::string&& v) { c.passphraseEnv = std::move(v); }},
    {"passphrase-hex", 0, "HEX", kAll,
     "the passphrase's exact bytes in hexadecimal; other users see it in 'ps': prefer the options above",
     [](Command& c, std::string&& v) { c.passphraseHex = std::move(v); }},
    {"allow-empty-passphrase", 0, "", kAll, "accept the empty passphrase (refused otherwise)",
     [](Command& c, std::string&&) { c.allowEmptyPassphrase = true; }},
    {"progress", 0, "", kFileVerbs,
     "show bytes, percent, speed and time left on standard error (the default on a terminal for inputs over 64 MiB)",
     [](Command& c, std::string&&) { c.progress = true; }},
    {"no-progress", 0, "", kFileVerbs, "show no progress line", [](Command& c, std::string&&) { c.progress = false; }},
    {"quiet", 'q', "", kAll, "print no line on success", [](Command& c, std::string&&) { c.quiet = true; }},
};

constexpr std::string_view kDescription =
    "Encrypts or decrypts a whole file under a passphrase, in the format of the Zorvanta file\n"
    "windows: a 32-byte check block made from the passphrase, then the CBC ciphertext, exactly\n"
    "as long as the file. Data goes to standard output only when OUTPUT is '-'; every message\n"
    "goes to standard error.\n";

constexpr std::string_view kPassphraseText =
    "Passphrase:\n"
    "  Without a passphrase option it is asked on the terminal without echo (twice when\n"
    "  encrypting). The empty passphrase is refused unless --allow-empty-passphrase is given.\n";

constexpr std::string_view kExitText =
    "Exit status:\n"
    "  0 done (for check: the passphrase matches), 1 refused (names, opening, an existing\n"
    "  output, the wrong passphrase), 2 bad usage, 3 I/O error, 130 interrupted (Ctrl-C;\n"
    "  nothing is left behind).\n";

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

// Takes one option (and its value) starting at args[i]; i ends on the last word used.
void TakeOption(const std::vector<std::string>& args, std::size_t& i, Command& command, unsigned verbBit)
{
    const std::string& arg = args[i];
    const bool isLong = arg.rfind("--", 0) == 0;
    const std::size_t eq = isLong ? arg.find('=') : std::string::npos;
    const std::string name = isLong ? arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2) : arg.substr(1, 1);
    const OptionSpec* option = FindOption(name, verbBit);
    if (!option) throw UsageError{"unknown option " + (isLong ? "--" + name : arg)};
    std::string value;
    if (option->value.empty()) {
        if (eq != std::string::npos || (!isLong && arg.size() > 2)) throw UsageError{arg + ": takes no value"};
    } else if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
    } else if (!isLong && arg.size() > 2) {
        value = arg.substr(2);
    } else {
        if (++i == args.size()) throw UsageError{"--" + std::string(option->name) + " needs a value"};
        value = args[i];
    }
    option->set(command, std::move(value));
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
        } else {
            TakeOption(args, i, command, verb->bit);
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
    }
    return command;
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
        return text + "\n" + std::string(kPassphraseText) + "\n" + std::string(kExitText);
    }
    text += "\n" + std::string(kDescription) + "\nCommands:\n";
    for (const VerbSpec& verb : kVerbs) {
        const std::string head = "  " + std::string(verb.name);
        text += head + std::string(12 - head.size(), ' ') + std::string(verb.summary) + "\n";
    }
    text += "\nOptions:\n" + OptionLines(kAll) + "  -V, --version               print the version and stop\n";
    text += "\n" + std::string(kPassphraseText) + "\n" + std::string(kExitText);
    return text;
}

std::string VersionText()
{
    return std::string("zorvanta-cli ") + kZorvantaVersion + "\n";
}

std::optional<Verb> VerbNamed(const std::string& name)
{
    const VerbSpec* verb = FindVerb(name);
    return verb ? std::optional(verb->verb) : std::nullopt;
}
