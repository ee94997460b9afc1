// The command line linked from its own library alone, without any library of
// the windows: that it builds, and does the commands as kolva does, shows
// that the commands need no window code.

#include "app/commandline.h"

int main(int argc, char** argv)
{
    return kolva::runCommandProcess(argc, argv);
}
