// The pair of ports the user chose, remembered in the page's storage of this browser.
#pragma once

#include "PortMemory.h"

class CWebPortMemory : public IPortMemory {
public:
    bool Recall(PortNames& names) override;
    bool Remember(const PortNames& names) override;
};
