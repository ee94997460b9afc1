#include "app/startup.h"

int main(int argc, char** argv)
{
    return kolva::runKolvaMain(argc, argv);
}
