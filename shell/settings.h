// The window placement, split and view mode remembered per user in one registry value.
#pragma once

#include <windows.h>

#include <cstdint>

// The record as stored: seven signed 32-bit little-endian integers.
struct WindowSettingsRecord {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
    std::int32_t splitPercent;
    std::int32_t listViewStyle;
    std::int32_t viewCommand;
};
static_assert(sizeof(WindowSettingsRecord) == 28);

inline constexpr char kSettingsKey[] = "Software\\Halvorsteen\\Tarnel";
inline constexpr char kSettingsValue[] = "Settings";

// A window placed and sized by the platform, split in the middle, in the Details view.
inline constexpr WindowSettingsRecord kDefaultWindowSettings = {
    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 50, 1, 123};

extern WindowSettingsRecord WindowSettings;

// Reads the record (creating the key) and sets SplitPercent, ListViewStyle and CurrentViewCommand.
void LoadSettings();

// Writes the main window's rectangle and the live split and view values.
void SaveSettings(HWND mainWindow);
