#pragma once
// The screen's depth as the imaging layer sees it. It is read once on the GUI
// thread at start-up, so every thread gets the same answer at any time.
#include "imaging/iebitmap.h"

// Reads the primary screen's depth; called once on the GUI thread at start-up.
void InitScreenDepth();
// Sets the depth as if read from the screen (tests force palette mode with 8);
// 0 forgets it.
void SetScreenBitsPerPixel(int bits);
// Bits per pixel of the primary screen as read at start-up; 24 before that.
int ScreenBitsPerPixel();
// True when the display has 8 bits per pixel or fewer.
bool ScreenPaletteMode();
// Bits asked of the decoder for a colour mode: 0 -> 24, 1 -> 8, 2 -> screen, else 0.
int BitsForColorMode(TColorMode colorMode);
