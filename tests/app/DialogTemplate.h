// Reads a dialog template resource back into plain values, classic and extended alike.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct DialogItem {
    int id;
    std::string className; // "button", "edit", "static" for the predefined ordinals
    std::string text;
    int x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

struct DialogTemplate {
    bool extended;
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;
    std::string caption;
    int pointSize;
    int weight;
    int italic;
    int charset;
    std::wstring face;
    std::vector<DialogItem> items;
};

// The template as stored in the resource section; false when the bytes are malformed.
bool ParseDialogTemplate(const uint8_t* data, size_t size, DialogTemplate& out);
