// versionup-cli: the update without the dialog, for scripts and service benches; also checks a
// firmware file, lists the MIDI ports and takes the ports from the user. Exit codes: ExitCodes.h.
#include <cstdio>
#include <cstring>
#include <string>

#include "CliCheck.h"
#include "CliOptions.h"
#include "CliPorts.h"
#include "ConsoleDisplay.h"
#include "ConsoleText.h"
#include "ExitCodes.h"
#include "StatusTexts.h"
#include "Version.h"
#include "VersionUpdater.h"

namespace {

int ExitCodeFor(const char* lastStatus)
{
    if (std::strcmp(lastStatus, texts::kComplete) == 0)
        return kExitComplete;
    if (std::strcmp(lastStatus, texts::kCompleteRestart) == 0)
        return kExitCompleteRestart;
    return kExitFailure;
}

int Misuse(const std::wstring& problem)
{
    WriteText(stderr, L"versionup-cli: " + problem + L"\n" + kUsage);
    return kExitUsage;
}

int Update(const CliOptions& options)
{
    NamedPort out;
    NamedPort in;
    // Both ports must exist before anything is opened.
    if (options.outPort) {
        std::wstring problem = FindNamedPort(MidiDirection::Output, *options.outPort, out);
        if (problem.empty())
            problem = FindNamedPort(MidiDirection::Input, *options.inPort, in);
        if (!problem.empty())
            return Misuse(problem);
    }
    CConsoleDisplay display;
    CVersionUpdater updater(display);
    bool alone = true;
    if (options.outPort) {
        display.ShowOutputPortName(out.name.c_str());
        display.ShowInputPortName(in.name.c_str());
        alone = updater.LoadOnPorts(options.file.c_str(), out.index, in.index);
    } else {
        // Like the dialog: the console's ports, or else the pair chosen in the dialog; without
        // either the missing driver is reported, and the update then fails when it opens the ports.
        updater.FindPorts();
        alone = updater.Load(options.file.c_str());
    }
    // Through the display, which takes the bar off a terminal's line before the message.
    if (!alone)
        display.ShowMessageBox("versionup-cli: another update of the console is running; try again when it has ended");
    return ExitCodeFor(display.LastStatus());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CliOptions options;
    const std::wstring problem = ParseCommandLine(argc, argv, options);
    if (!problem.empty())
        return Misuse(problem);
    switch (options.command) {
    case CliCommand::Help:
        WriteText(stdout, kUsage);
        return kExitComplete;
    case CliCommand::Version:
        std::printf("versionup-cli %d.%d.%d.%d\n", VU_VERSION_MAJOR, VU_VERSION_MINOR, VU_VERSION_PATCH,
                    VU_VERSION_BUILD);
        return kExitComplete;
    case CliCommand::ListPorts:
        ListPorts();
        return kExitComplete;
    case CliCommand::Check:
        return CheckFirmware(options.file.c_str());
    case CliCommand::Update:
        break;
    }
    return Update(options);
}
