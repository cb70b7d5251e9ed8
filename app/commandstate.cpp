#include "app/commandstate.h"

int subcommand = 1;
int cUF = 35;
const char* lastAnswer = nullptr;
bool dialogRejected = false;
const char DefaultActivationCode[] = "31415926";
