// What an update sends for a prepared image, decided before the console is touched: whether
// command U goes out, which regions are erased and in what order, and how many messages the
// whole update takes.
#pragma once

#include <cstdint>

#include "RegionMap.h"

struct UpdatePlan {
    bool sendCommandU = false;
    int eraseCount = 0;
    int eraseRegions[kRegionCount] = {};  // in the order they are erased
    // Every message of an update that succeeds: U, the erases, the write packets of every
    // present region and the final command.
    int messageCount = 0;
};

UpdatePlan PlanUpdate(const RegionMask& mask, const uint8_t* image);
