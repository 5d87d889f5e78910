// quillomar: the emulator's window on the memory image beside the executable.
#include "app/emulator.h"

int main() { return quill::emulator_main(); }
