// colc: without arguments, the demonstration of the colour-balance fit.
#include <iostream>

#include "demo.h"

int main() { return runDemo(std::cout); }
