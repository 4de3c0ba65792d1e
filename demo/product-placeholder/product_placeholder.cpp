// A placeholder for the product TarvexPDFConver, which needs the window host
// and is not built yet. It only says what it is, so that the setup package
// has a real program to carry and install, and its tests can start what was
// installed. demo/CMakeLists.txt names the product target; the real product
// replaces this one there.
#include <cstdio>

int main() {
    std::printf("TarvexPDFConver %s (placeholder product)\n", TARVEX_PRODUCT_VERSION);
    return 0;
}
