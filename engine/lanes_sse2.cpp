// The lane engine of SSE2: 2 points at once. Compiled for SSE2 alone (see
// engine/CMakeLists.txt) and called only where the processor has it.
#define PRISMORA_LANE_WIDTH 2
#define PRISMORA_LANE_NAMESPACE lanes_sse2
#define PRISMORA_LANE_ENGINE kSse2Lanes
#define PRISMORA_LANE_ENUM Engine::Sse2
#include "engine/lane_sweep.h"
