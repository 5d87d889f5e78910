// quillomar: the emulator's window on a machine folder (by default the executable's) or an image.
#include "app/emulator.h"

int main(int argc, char** argv) { return quill::emulator_main(argc, argv); }
