// The processor signature (identification function 1, EAX) rebuilt from the
// family, model and stepping a system shows, for the tests of both systems.
#pragma once

#include <cstdint>

namespace testutil {

inline uint32_t CpuSignature(uint32_t family, uint32_t model, uint32_t stepping) {
    const uint32_t baseFamily = family >= 15 ? 15 : family;
    const uint32_t extFamily = family >= 15 ? family - 15 : 0;
    const bool extendedModel = baseFamily == 6 || baseFamily == 15;
    const uint32_t baseModel = extendedModel ? (model & 0xF) : model;
    const uint32_t extModel = extendedModel ? (model >> 4) : 0;
    return stepping | baseModel << 4 | baseFamily << 8 | extModel << 16 | extFamily << 20;
}

} // namespace testutil
