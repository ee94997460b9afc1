#include "app/commandline.h"

int main(int argc, char** argv)
{
    return kolva::runKolvaMain(argc, argv);
}
