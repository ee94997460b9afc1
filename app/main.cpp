#include "app/startup.h"

int main(int argc, char** argv)
{
    return kolva::runKolva(argc, argv);
}
