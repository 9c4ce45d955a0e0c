#include "app/CommandLine.h"

int main(int argc, char *argv[])
{
    return pelmora::runPelmora(argc, argv);
}
