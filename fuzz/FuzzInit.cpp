#include "FuzzSupport.h"

// Every target gets the same one-time set-up before its first input.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    return 0;
}
