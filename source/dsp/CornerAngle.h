#pragma once

#include <algorithm>

/** Below about 17.8 kHz the damping corner (up to 8 kHz) would reach Nyquist, where the
    bilinear tangent blows up or turns negative. Holding the pre-warped angle at 0.45 pi
    keeps every corner below Nyquist; at 22050 Hz and above no angle gets near it, so
    the result there is unchanged.
*/
inline float clampCornerAngle (float angle)
{
    constexpr float maxCornerAngle = 1.4137167f; // 0.45 * pi
    return std::min (angle, maxCornerAngle);
}
