#pragma once

#include <cstdint>

namespace velmora::blowfish {

inline constexpr int kPWords = 18;
inline constexpr int kSBoxes = 4;
inline constexpr int kSBoxWords = 256;

// The initial P-array and S-boxes every key set-up starts from (4168 bytes).
extern const std::uint32_t kInitialP[kPWords];
extern const std::uint32_t kInitialS[kSBoxes][kSBoxWords];

} // namespace velmora::blowfish
