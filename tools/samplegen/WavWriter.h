#pragma once

#include <QByteArray>

#include <vector>

namespace vellmar::samplegen {

// A complete WAV file: RIFF header, PCM format chunk (16-bit, one channel)
// and the samples, which are in [-1, 1] and clamped beyond.
QByteArray wavFile(const std::vector<double> &samples, int sampleRate);

} // namespace vellmar::samplegen
