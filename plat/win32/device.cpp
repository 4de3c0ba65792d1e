// The processor identification instruction on Windows (GCC's intrinsic).
#include "plat/sys/device.h"

#include <cpuid.h>

namespace plat {

void Cpuid(int cpuInfo[4], int functionId) {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(unsigned(functionId), &a, &b, &c, &d) == 0)
        a = b = c = d = 0;
    cpuInfo[0] = int(a);
    cpuInfo[1] = int(b);
    cpuInfo[2] = int(c);
    cpuInfo[3] = int(d);
}

} // namespace plat
