#pragma once
#include <windows.h>

void ExportEntries(HWND hwnd);
void ImportEntries(HWND hwnd);
void SaveCalLauncher(HWND hwnd);

// The launcher script for one entry; returns its length in bytes, or 0 when out is too small.
int BuildCalText(const char *name, const char *path, char *out, int outSize);
