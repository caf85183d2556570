// Texts from the program's string table.
#pragma once

#include <windows.h>

#include <string>

// The text of string resource `id`; empty when there is none.
std::string LoadResourceString(UINT id);
