// The lane engine of AVX2: 4 points at once. Compiled for AVX2 alone (see
// engine/CMakeLists.txt) and called only where the processor has it.
#define PRISMORA_LANE_WIDTH 4
#define PRISMORA_LANE_NAMESPACE lanes_avx2
#define PRISMORA_LANE_ENGINE kAvx2Lanes
#define PRISMORA_LANE_ENUM Engine::Avx2
#include "engine/lane_sweep.h"
