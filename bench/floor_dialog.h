#pragma once
// The floor program: what the bare platform needs to show a dialog of the main window's size.

#define IDD_FLOOR 101

// Found by this property, as Korvanel's window is found by its own.
#define FLOOR_PROPERTY "KorvanelFloor"
