// Lines and curves of the raster library.
//
// One-pixel lines between integer or fractional end points, optionally
// anti-aliased, dashed horizontal and vertical lines, and quadratic and cubic
// Bezier curves drawn as chains of fractional lines. Every pixel goes through
// one combiner of lice_combine.h chosen once per call from the alpha (weight
// w = (int)(alpha * 256), single precision; 0 draws nothing) and the operation
// bits of the mode (mode & 0xFF; above 5 draws nothing; the source-alpha flag
// and the filter field are ignored).
//
// Coordinates are visual pixel indices (x right, y down); both end points
// belong to the line except in LICE_DashedLine. Lines are clipped to the
// bitmap first, so any int or finite float coordinate is safe; non-finite
// float coordinates draw nothing.
//
// Anti-aliasing: the minor-axis position is kept in 16.16 fixed point; its
// fraction's top 8 bits are the coverage of the pixel on the far side.
//
// Threads: no locks; one thread at a time per bitmap. Nothing allocates.
#pragma once

#include "raster/lice_bitmap.h"

/// Draws the line (x1, y1)-(x2, y2) including both ends. Exact diagonals and
/// anti-aliased general slopes are drawn from both ends toward the middle,
/// so the two halves mirror each other.
void LICE_Line(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, LICE_pixel color, float alpha,
               int mode, bool aa);

/// Line with fractional end points. Without aa it is LICE_Line of the
/// coordinates truncated toward zero; with aa each major-axis column (or row)
/// between the end points shares the colour between two pixels.
void LICE_FLine(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel color,
                float alpha, int mode, bool aa);

/// Horizontal or vertical line of pxon drawn pixels and pxoff skipped pixels
/// (pxon >= 1; a negative pxoff counts as 0). The second end point is never
/// drawn; other slopes draw nothing. aa is not used.
void LICE_DashedLine(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff,
                     LICE_pixel color, float alpha, int mode, bool aa = false);

/// Clips the line to the box xlo <= x < xhi, ylo <= y < yhi in place. Returns
/// true when part of it lies inside; on false the points are partly clipped
/// and meaningless. Null pointers return false.
bool LICE_ClipLine(int* x1, int* y1, int* x2, int* y2, int xlo, int ylo, int xhi, int yhi);

/// Float form of LICE_ClipLine for anti-aliased drawing: the box is
/// xlo <= x < xhi - 1, ylo <= y < yhi - 1 so that x + 1 and y + 1 stay inside.
/// Non-finite coordinates return false.
bool LICE_ClipFLine(float* x1, float* y1, float* x2, float* y2, float xlo, float ylo, float xhi,
                    float yhi);

/// Quadratic Bezier from (xstart, ystart) through control (xctl, yctl) to
/// (xend, yend) as a chain of LICE_FLine segments about tol pixels long
/// (tol <= 0 counts as 1), cut to the columns inside the bitmap.
void LICE_DrawQBezier(LICE_IBitmap* dest, float xstart, float ystart, float xctl, float yctl,
                      float xend, float yend, LICE_pixel color, float alpha, int mode, bool aa,
                      float tol = 0.0f);

/// Cubic Bezier with controls (xctl1, yctl1) and (xctl2, yctl2); otherwise as
/// LICE_DrawQBezier.
void LICE_DrawCBezier(LICE_IBitmap* dest, float xstart, float ystart, float xctl1,
                      float yctl1, float xctl2, float yctl2, float xend, float yend,
                      LICE_pixel color, float alpha, int mode, bool aa, float tol = 0.0f);
