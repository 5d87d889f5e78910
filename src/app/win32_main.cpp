// quillomar.exe: the emulator's window on the memory image beside the executable.
// A GUI program (no console); it takes no arguments.
#include <windows.h>

#include "app/emulator.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return quill::emulator_main(); }
