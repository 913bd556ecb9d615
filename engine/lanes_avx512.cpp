// The lane engine of AVX-512F: 8 points at once. Compiled for AVX-512F alone (see
// engine/CMakeLists.txt) and called only where the processor has it.
#define PRISMORA_LANE_WIDTH 8
#define PRISMORA_LANE_NAMESPACE lanes_avx512
#define PRISMORA_LANE_ENGINE kAvx512Lanes
#define PRISMORA_LANE_ENUM Engine::Avx512
#include "engine/lane_sweep.h"
