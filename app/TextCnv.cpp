// TextCnv: the window program (its start-up is in WindowProgram.h, which the
// tests' driver runs too).
#include "WindowProgram.h"

int main(int argc, char** argv) { return RunWindowProgram(argc, argv); }
