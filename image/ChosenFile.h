// A page in a browser reads no file but the one the user chose, and only through the page, which
// provides these. The file is named by its name, as the page shows it.
#pragma once

#include <cstdint>

// True when the file chosen has that name and can still be read (it may have been removed since).
bool OpenChosenFile(const char* name);
int64_t ChosenFileSize();
// Reads the first `count` bytes in one request: the count read, or -1 when the file cannot be
// read (changed since it was chosen).
int ReadChosenFile(void* buffer, uint32_t count);
