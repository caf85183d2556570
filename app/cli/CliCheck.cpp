#include "CliCheck.h"

#include <cstdio>
#include <string>

#include "ExitCodes.h"
#include "PreparedImage.h"
#include "Sha256.h"
#include "UpdatePlan.h"

namespace {

// The regions in the given order, runs of consecutive ones as ranges: "0, 2-4, 1, 5-34".
std::string RegionList(const int* regions, int count)
{
    if (count == 0)
        return "none";
    std::string text;
    for (int first = 0; first < count;) {
        int last = first;
        while (last + 1 < count && regions[last + 1] == regions[last] + 1)
            ++last;
        text += (text.empty() ? "" : ", ") + std::to_string(regions[first]);
        if (last > first)
            text += "-" + std::to_string(regions[last]);
        first = last + 1;
    }
    return text;
}

} // namespace

int CheckFirmware(const PathChar* path)
{
    CPreparedImage prepared;
    const char* failure = prepared.Prepare(path, nullptr);
    if (failure) {
        std::printf("%s\n", failure);
        return kExitFailure;
    }
    const RegionMask& mask = prepared.Mask();
    int present[kRegionCount];
    int presentCount = 0;
    for (int region = 0; region < kRegionCount; ++region) {
        if (mask.Test(region))
            present[presentCount++] = region;
    }
    const UpdatePlan plan = PlanUpdate(mask, prepared.Image());
    const std::string digest =
        Sha256Hex(prepared.FileBytes(), static_cast<uint32_t>(prepared.FileSize()));
    std::printf("File size:         %ld bytes\n", static_cast<long>(prepared.FileSize()));
    std::printf("Block map:         %d entries, %d blocks supplied\n", prepared.MapEntries(),
                prepared.SuppliedBlocks());
    std::printf("Regions present:   %s (%d of %d)\n", RegionList(present, presentCount).c_str(), presentCount,
                kRegionCount);
    std::printf("Command U:         %s\n", plan.sendCommandU ? "sent" : "not sent");
    std::printf("Regions erased:    %s (%d)\n", RegionList(plan.eraseRegions, plan.eraseCount).c_str(),
                plan.eraseCount);
    std::printf("Messages to send:  %d\n", plan.messageCount);
    std::printf("SHA-256:           %s\n", digest.empty() ? "(BCrypt is not available)" : digest.c_str());
    return kExitComplete;
}
