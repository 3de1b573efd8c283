#include "playback/RandomSource.h"

#include <chrono>

namespace velmora {

void ClockRandom::Randomize()
{
    m_engine.seed(static_cast<std::mt19937::result_type>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
}

int ClockRandom::Below(int count)
{
    return std::uniform_int_distribution<int>(0, count - 1)(m_engine);
}

} // namespace velmora
