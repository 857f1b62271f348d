// Blits and rectangle fills of the raster library.
//
// These functions move pixels from one bitmap into another (straight, scaled,
// rotated, warped, blurred, halved) or paint a rectangle (solid fill, masked
// clear, gradient, per-channel multiply-add, per-pixel callback, column fill).
// Every written pixel goes through one combiner of lice_combine.h, chosen once
// per call from the alpha and the combine-mode word.
//
// Shared conventions:
// - Coordinates are visual: row 0 is the top row even in a flipped bitmap.
// - The weight is w = (int)(alpha * 256.0); w == 0 draws nothing. Copy at
//   exact weights (256, 128, and for fills 64 and 192) takes the packed
//   shift-and-mask mixes, which differ from the general formula in the low bit.
// - Source positions of the scaled, rotated and delta blits are 16.16 fixed
//   point (integer part = value >> 16). The filter field (mode & 0xFF00) ==
//   LICE_COMBINE_FILTER asks for bilinear sampling; anything else samples the
//   nearest pixel. Samples outside the source leave the destination unchanged.
// - Rectangle clipping: a negative x or y shrinks the size and starts at 0;
//   the rest is cut to the bitmap. Sizes and coordinates of any magnitude are
//   accepted; nothing is ever written outside the destination or read outside
//   the source.
//
// Failure contract: nothing is reported. A null bitmap, a bitmap without bits,
// a zero alpha, an unknown operation or an empty clip draws nothing.
//
// Threads: the library carries no lock; one thread at a time per bitmap (in
// this system the editor's main thread). No function here allocates, except an
// in-place LICE_Blur whose region is over 2048 pixels in both directions.
#pragma once

#include "raster/lice_bitmap.h"

/// Copies the srcrect part of src (whole src when null) to (dstx, dsty) of
/// dest with weight alpha (0..1) and combine mode `mode`. (mode & 0xF0) == 0xF0
/// copies source byte (mode & 3) into destination byte ((mode >> 2) & 3) only.
/// Source and dest must be different bitmaps.
void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, const RECT* srcrect,
               float alpha, int mode);

/// LICE_Blit of the source rectangle (srcx, srcy, srcw by srch pixels).
void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int srcw, int srch, float alpha, int mode);

/// Scales the source rectangle (srcx, srcy, srcw by srch, source pixels, may
/// be fractional) onto dstw by dsth destination pixels at (dstx, dsty). A
/// negative size mirrors along that axis. With LICE_COMBINE_FILTER the samples
/// are bilinear, and reductions of 1.7 or more in both directions average a
/// 3 by 3 (up to a step of 3) or 5 by 5 window.
void LICE_ScaledBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                     float srcx, float srcy, float srcw, float srch, float alpha, int mode);

/// Draws the source rectangle scaled into the destination rectangle and turned
/// by `angle` radians about its centre displaced by (rotxcent, rotycent) source
/// pixels. With cliptosourcerect only pixels inside the source rectangle are
/// read, otherwise any pixel of src.
void LICE_RotatedBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                      float srcx, float srcy, float srcw, float srch, float angle,
                      bool cliptosourcerect, float alpha, int mode, float rotxcent = 0.0f,
                      float rotycent = 0.0f);

/// General affine-plus-bilinear walk: destination pixel (i, j) of the dstw by
/// dsth rectangle samples the source at (srcx, srcy) + j * (dsdy, dtdy) +
/// i * ((dsdx, dtdx) + j * (dsdxdy, dtdxdy)), all in source pixels. srcw and
/// srch give the readable window with cliptosourcerect.
void LICE_DeltaBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                    float srcx, float srcy, float srcw, float srch, double dsdx, double dtdx,
                    double dsdy, double dtdy, double dsdxdy, double dtdxdy, bool cliptosourcerect,
                    float alpha, int mode);

/// LICE_DeltaBlit with a weight that starts at alpha and moves by dadx per
/// column and dady per row (dadx itself by dadxdy per row). The source-alpha
/// flag is not used; operations are those of mode & 0xFF with clamping.
void LICE_DeltaBlitAlpha(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                         int dsth, float srcx, float srcy, float srcw, float srch, double dsdx,
                         double dtdx, double dsdy, double dtdy, double dsdxdy, double dtdxdy,
                         bool cliptosourcerect, float alpha, int mode, double dadx, double dady,
                         double dadxdy);

/// Warps src onto the destination rectangle through a div_w by div_h grid of
/// source points (x, y pairs, row by row) spread evenly over it. Nothing for a
/// null grid or fewer than 2 points in either direction.
void LICE_TransformBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                        int dsth, const float* srcpoints, int div_w, int div_h, float alpha,
                        int mode);

/// LICE_TransformBlit with double grid points.
void LICE_TransformBlit2(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                         int dsth, const double* srcpoints, int div_w, int div_h, float alpha,
                         int mode);

/// LICE_TransformBlit2 whose grid points are (x, y, alpha) triples; the weight
/// is interpolated across each cell.
void LICE_TransformBlit2Alpha(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                              int dsth, const double* srcpoints, int div_w, int div_h, int mode);

/// Five-point blur (centre 1/2, each of four neighbours 1/8; a missing
/// neighbour's share goes to the opposite one) of the source rectangle into
/// dest at (dstx, dsty). dest may be src (in place). Regions under 2 by 2
/// pixels are left unchanged.
void LICE_Blur(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int srcw, int srch);

/// Halves src into dest: each destination pixel is the average of a 2 by 2
/// block; the size is min(dest size, src size / 2) per axis.
void LICE_HalveBlitAA(LICE_IBitmap* dest, LICE_IBitmap* src);

/// Fills (x, y, w by h pixels) with color at weight alpha. With
/// LICE_COMBINE_SOURCE_ALPHA the alpha is scaled by the colour's alpha byte.
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float alpha,
                   int mode);

/// Sets every pixel p of the rectangle to (p & mask) | orbits.
void LICE_ClearRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel mask = 0,
                    LICE_pixel orbits = 0);

/// Fills the rectangle with a linear gradient: start colour (ir, ig, ib, ia in
/// 0..1) at (x, y), changing by the d?dx values per column and d?dy per row.
/// The alpha channel is the combine weight; results are clamped.
void LICE_GradRect(LICE_IBitmap* dest, int x, int y, int w, int h, float ir, float ig, float ib,
                   float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy,
                   float dbdy, float dady, int mode);

/// Per channel c of every pixel of the rectangle: c = clamp(c * sc + add),
/// with the add terms in channel units (0..255) and the result in 0..255.
void LICE_MultiplyAddRect(LICE_IBitmap* dest, int x, int y, int w, int h, float rsc, float gsc,
                          float bsc, float asc, float radd, float gadd, float badd, float aadd);

/// Calls callback(pixel pointer, parm) for every pixel of the rectangle, row
/// by row from the top. Nothing when callback is null.
void LICE_ProcessRect(LICE_IBitmap* dest, int x, int y, int w, int h,
                      void (*callback)(LICE_pixel* px, void* parm), void* parm);

/// Makes pixels whose colour bits (p & 0xFFFFFF00) equal color transparent
/// (alpha 0) and every other pixel opaque (alpha 255).
void LICE_SetAlphaFromColorMask(LICE_IBitmap* dest, LICE_pixel color);

/// Column-anchored fill from (x, y): rows whose column-x pixel matches
/// ((p & comparemask) equal to that of the start pixel) are filled left and
/// right while pixels match; a matched pixel becomes newcolor | (p & keepmask).
void LICE_SimpleFill(LICE_IBitmap* dest, int x, int y, LICE_pixel newcolor,
                     LICE_pixel comparemask = 0xFFFFFFFF, LICE_pixel keepmask = 0);
