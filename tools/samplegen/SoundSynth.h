#pragma once

#include <cstdint>
#include <vector>

namespace vellmar::samplegen::sound {

constexpr int kSampleRate = 22050;

// Three knuckle knocks on a wooden door, about 0.9 s.
std::vector<double> knock(std::uint64_t seed);

// A door swung shut: hinge creak and the rush of air, then a heavy thud with
// the latch's click, about 1.6 s.
std::vector<double> doorShut(std::uint64_t seed);

// Scales so that the loudest sample sits at `peakDb` dB below full scale.
void normalise(std::vector<double> &samples, double peakDb);

} // namespace vellmar::samplegen::sound
