#pragma once

/** The single-precision tangent the filters take their coefficients from: tan (angle)
    rounded correctly to the nearest float, for angles from 0 up to a quarter turn (the sign
    follows the angle's). Written in plain double-precision arithmetic, without the C library,
    so that every compiler and processor that keeps to IEEE double precision without fused
    multiply-adds gives the same bits, and so the same samples.
*/
float cornerTangent (float angle);
