#pragma once

#include <random>

namespace velmora {

// Where the play list's shuffle draws its numbers; tests give it a scripted sequence.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Seeds the generator from the clock.
    virtual void Randomize() = 0;
    // A number with 0 <= result < count; count is at least 1.
    virtual int Below(int count) = 0;
};

// The program's generator.
class ClockRandom final : public RandomSource {
public:
    void Randomize() override;
    int Below(int count) override;

private:
    std::mt19937 m_engine;
};

} // namespace velmora
