// AVI playback: the first video stream of a file drawn frame by frame onto the
// render target, the frame chosen by the time since the first one, and the first
// audio stream played once from a DirectSound buffer started with it.
#pragma once

// True when the file's video can be shown (any open AVI is closed first).
bool dxopenavi(const char* name);
// Draws the frame that is due at (x, y), w x h (0: the frame's size; x or y of
// 0x7FFFFFFF centres it); false when there is nothing (more) to show.
bool dxdrawavi(int x, int y, int w, int h);
void dxcloseavi();
void dxreleaseavi();
bool dxaviopen();
// Plays the whole video, drawing and presenting each frame.
void dxplayavi(const char* name, int x, int y, int w, int h);
