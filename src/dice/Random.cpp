#include "Random.h"

#include "UniformSource.h"

#include <cmath>

namespace vellmar::dice {

float Random(UniformSource &source, std::int16_t sides)
{
    const float r = source.next();
    // The exact product decides the face. Rounded to float first, a product a
    // hair below a whole number could land on it and shift that face's share.
    const double product = static_cast<double>(r) * static_cast<double>(static_cast<float>(sides));
    return static_cast<float>(std::floor(product) + 1.0);
}

} // namespace vellmar::dice
