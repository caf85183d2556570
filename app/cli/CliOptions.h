// versionup-cli's command line: GNU-style options (--name VALUE or --name=VALUE, "--" ends the
// options, options and FILE in any order) over the program's wide arguments.
#pragma once

#include <optional>
#include <string>

enum class CliCommand { Update, Check, ListPorts, Help, Version };

struct CliOptions {
    CliCommand command = CliCommand::Update;
    std::wstring file;                    // Update and Check
    std::optional<std::wstring> outPort;  // Update only; given together with inPort
    std::optional<std::wstring> inPort;
};

// Reads argv[1] to argv[argc - 1] into `options`. Returns an empty text for a well-formed
// command line, otherwise one line saying what is wrong with it.
std::wstring ParseCommandLine(int argc, wchar_t** argv, CliOptions& options);

// How to call the program, a few lines that end with a line break.
extern const wchar_t kUsage[];
