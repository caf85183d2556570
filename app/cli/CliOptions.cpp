#include "CliOptions.h"

#include <string_view>
#include <vector>

const wchar_t kUsage[] =
    L"usage: versionup-cli [--out-port PORT --in-port PORT] FILE\n"
    L"       versionup-cli --check FILE\n"
    L"       versionup-cli --list-ports\n"
    L"       versionup-cli --help | --version\n"
    L"\n"
    L"Updates the PQ4400's flash over USB-MIDI with the firmware file FILE.\n"
    L"\n"
    L"  --out-port PORT --in-port PORT\n"
    L"                   use these MIDI ports instead of looking for the console's\n"
    L"                   driver; PORT is an index or a whole name as --list-ports\n"
    L"                   prints it (a PORT of digits only is an index)\n"
    L"  --check FILE     verify FILE as an update does and tell what the update\n"
    L"                   would send; opens no MIDI port\n"
    L"  --list-ports     list the MIDI outputs and inputs, marking the two an update\n"
    L"                   finds by itself; opens none\n"
    L"  -h, --help       show this text\n"
    L"  --version        show the program's version\n"
    L"\n"
    L"Exit status: 0 \"Complete!\"; 2 \"Complete! please restart PQ4400.\"; 1 any other\n"
    L"end of an update, or a file that --check refuses; 64 a wrong command line.\n";

namespace {

struct OptionRow {
    const wchar_t* name;  // the long name, after "--"
    wchar_t shortName;    // the letter after "-", or 0
    CliCommand command;   // the command the option selects; Update for a port option
    std::optional<std::wstring> CliOptions::*value;  // where a port option's value goes
};

constexpr OptionRow kOptions[] = {
    {L"out-port", 0, CliCommand::Update, &CliOptions::outPort},
    {L"in-port", 0, CliCommand::Update, &CliOptions::inPort},
    {L"check", 0, CliCommand::Check, nullptr},
    {L"list-ports", 0, CliCommand::ListPorts, nullptr},
    {L"help", L'h', CliCommand::Help, nullptr},
    {L"version", 0, CliCommand::Version, nullptr},
};

// How many FILE arguments each command takes, in the order of CliCommand.
constexpr size_t kFileCounts[] = {1, 1, 0, 0, 0};

// The row of "--name" or "-x", or nullptr.
const OptionRow* FindOption(std::wstring_view name, bool isLong)
{
    for (const OptionRow& row : kOptions) {
        if (isLong ? name == row.name : name.size() == 1 && name[0] == row.shortName)
            return &row;
    }
    return nullptr;
}

std::wstring Quoted(std::wstring_view text)
{
    return L"'" + std::wstring(text) + L"'";
}

} // namespace

std::wstring ParseCommandLine(int argc, wchar_t** argv, CliOptions& options)
{
    std::vector<std::wstring> files;
    const OptionRow* commandOption = nullptr;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument = argv[i];
        // "-" alone is a name like any other.
        if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            files.emplace_back(argument);
            continue;
        }
        if (argument == L"--") {
            optionsEnded = true;
            continue;
        }
        const bool isLong = argument[1] == L'-';
        std::wstring_view name = argument.substr(isLong ? 2 : 1);
        std::optional<std::wstring_view> attached;
        const size_t equals = isLong ? name.find(L'=') : std::wstring_view::npos;
        if (equals != std::wstring_view::npos) {
            attached = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const OptionRow* row = FindOption(name, isLong);
        if (row == nullptr)
            return L"unknown option " + Quoted(argument);
        const std::wstring shown = Quoted(std::wstring(L"--") + row->name);
        if (row->value == nullptr) {
            if (attached)
                return L"option " + shown + L" takes no value";
            if (commandOption != nullptr && commandOption != row)
                return L"options " + Quoted(std::wstring(L"--") + commandOption->name) + L" and " + shown +
                       L" do not go together";
            commandOption = row;
            options.command = row->command;
            continue;
        }
        std::optional<std::wstring>& value = options.*(row->value);
        if (value)
            return L"option " + shown + L" is given twice";
        if (!attached) {
            if (i + 1 == argc)
                return L"option " + shown + L" needs a PORT";
            attached = argv[++i];
        }
        value = std::wstring(*attached);
    }
    if (options.outPort.has_value() != options.inPort.has_value())
        return options.outPort ? L"--out-port needs --in-port as well" : L"--in-port needs --out-port as well";
    if (options.outPort && options.command != CliCommand::Update)
        return L"--out-port and --in-port belong to an update only";
    const size_t wanted = kFileCounts[static_cast<size_t>(options.command)];
    if (files.size() < wanted)
        return L"FILE is missing";
    if (files.size() > wanted)
        return L"unexpected argument " + Quoted(files[wanted]);
    if (wanted == 1)
        options.file = files[0];
    return {};
}
