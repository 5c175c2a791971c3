// Tavelo: the program users run. It takes no arguments.

#include "app/ProgramMain.h"

int main()
{
    return RunProgram({});
}
