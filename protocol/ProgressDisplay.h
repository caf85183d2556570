// The status line and progress bar, as the update reports through them.
#pragma once

class IProgressDisplay {
public:
    virtual ~IProgressDisplay() = default;
    // Replaces the whole status text; on screen before the call returns.
    virtual void ShowStatus(const char* text) = 0;
    virtual void SetRange(int lower, int upper) = 0;
    virtual void SetPos(int position) = 0;
    virtual void OffsetPos(int delta) = 0;
};
