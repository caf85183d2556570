#include "KeepAwake.h"

CKeepAwake::CKeepAwake(SetExecutionStateFn setExecutionState)
    : m_setExecutionState(setExecutionState)
{
    // The request holds until this thread clears it; the display may still turn off.
    m_setExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

CKeepAwake::~CKeepAwake()
{
    m_setExecutionState(ES_CONTINUOUS);
}
