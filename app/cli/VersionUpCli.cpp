// versionup-cli FILE: the update without the dialog, for scripts and service benches.
// Exit code 0 "Complete!", 2 "Complete! please restart PQ4400.", 1 any failure.
#include <cstdio>
#include <cstring>

#include "ConsoleDisplay.h"
#include "StatusTexts.h"
#include "VersionUpdater.h"

namespace {

int ExitCodeFor(const char* lastStatus)
{
    if (std::strcmp(lastStatus, texts::kComplete) == 0)
        return 0;
    if (std::strcmp(lastStatus, texts::kCompleteRestart) == 0)
        return 2;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: versionup-cli FILE\n");
        return 1;
    }
    CConsoleDisplay display;
    CVersionUpdater updater(display);
    // Like the dialog: a console that is not found is reported, and the update then fails
    // when it opens the ports.
    updater.FindPorts();
    updater.Load(argv[1]);
    return ExitCodeFor(display.LastStatus());
}
