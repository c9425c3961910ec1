// The floor for a C++ program: does nothing, but starts the C++ runtime's streams as every program that
// includes them does, before main.
#include <iostream>

int main() {
    return 0;
}
