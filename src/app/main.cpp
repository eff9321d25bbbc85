// The program: everything it is lives in `Program`.

#include "Program.h"

int main(int argc, char** argv)
{
    return Program::Run(argc, argv);
}
