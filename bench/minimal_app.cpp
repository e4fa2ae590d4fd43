// The smallest Windows program: the yardstick for Kivrun's own start and stop.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
