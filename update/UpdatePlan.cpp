#include "UpdatePlan.h"

#include "UpdateCommands.h"

namespace {

// With region 5 present, command U goes out only when both of these big-endian words of the
// region 1 header are at least 0x1180; without region 5 it always goes out.
constexpr uint32_t kLevelWordOffsets[2] = {0x8004, 0x8006};
constexpr uint16_t kCommandULevel = 0x1180;
// The flash is erased by group: bit 0 of the mask erases regions 0, 2, 3 and 4; bit 5 erases
// region 1 and then regions 5 to 34, whatever their own bits say.
constexpr int kLowerGroup[] = {0, 2, 3, 4};

bool CommandUDue(const RegionMask& mask, const uint8_t* image)
{
    if (!mask.Test(5))
        return true;
    for (uint32_t offset : kLevelWordOffsets) {
        if (ReadWordBE(image, offset) < kCommandULevel)
            return false;
    }
    return true;
}

void ListErases(const RegionMask& mask, UpdatePlan& plan)
{
    if (mask.Test(0)) {
        for (int region : kLowerGroup)
            plan.eraseRegions[plan.eraseCount++] = region;
    }
    if (mask.Test(5)) {
        plan.eraseRegions[plan.eraseCount++] = 1;
        for (int region = 5; region < kRegionCount; ++region)
            plan.eraseRegions[plan.eraseCount++] = region;
    }
}

} // namespace

UpdatePlan PlanUpdate(const RegionMask& mask, const uint8_t* image)
{
    UpdatePlan plan;
    plan.sendCommandU = CommandUDue(mask, image);
    ListErases(mask, plan);
    const int finalCommand = 1;
    plan.messageCount = (plan.sendCommandU ? 1 : 0) + plan.eraseCount + finalCommand;
    for (int region = 0; region < kRegionCount; ++region) {
        if (mask.Test(region))
            plan.messageCount += static_cast<int>(WritePacketCount(RegionLength(region)));
    }
    return plan;
}
