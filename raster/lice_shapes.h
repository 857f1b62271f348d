// Circles, arcs and polygons of the raster library.
//
// Outlined and filled circles (optionally anti-aliased), arcs, rounded and
// plain rectangle outlines, trapezoids, triangles, convex polygons and areas
// under cubic Bezier curves.
//
// Conventions:
// - Centres and radii are float pixels; integer centres are (int)(c + 0.5).
//   Angles are radians clockwise from straight up: the point at angle a is
//   (cx + sin(a) * r, cy - cos(a) * r).
// - Weight w = (int)(alpha * 256) in single precision; 0 draws nothing. The
//   operation is mode & 0xFF (0 copy .. 5 HSV adjust; above 5 nothing).
// - Circles come from one midpoint engine that writes every pixel of a plain
//   outline or fill once, so add and multiply stay correct; radii 1.5, 2, 2.5,
//   3, 3.5 and 4 of LICE_Circle stamp stored coverage glyphs instead.
// - Polygons are cut into horizontal trapezoids whose edges step in 16.16
//   fixed point.
// - Flipped bitmaps are honoured (coordinates are visual, row 0 on top).
// - Everything is clipped to the bitmap; any int coordinate is safe.
//   Non-finite float coordinates, radii or angles, and float centres, radii or
//   corners beyond +-2^24 pixels, draw nothing.
//
// Threads: no locks; one thread at a time per bitmap. Nothing allocates except
// a polygon of more than 512 points.
#pragma once

#include "raster/lice_bitmap.h"

/// Circle outline of radius r around (cx, cy); r < 0 draws nothing.
void LICE_Circle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, float alpha,
                 int mode, bool aa);

/// Filled circle; r = 0 without aa fills the centre pixel.
void LICE_FillCircle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color,
                     float alpha, int mode, bool aa);

/// The part of the circle outline from minAngle to maxAngle (either order);
/// a span of 2 pi or more draws the whole circle.
void LICE_Arc(LICE_IBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle,
              LICE_pixel color, float alpha, int mode, bool aa);

/// Rectangle outline from (x, y) to (x + w, y + h) with quarter-circle corners
/// of cornerradius (limited to half the width and height); radii below 2 give
/// LICE_DrawRect.
void LICE_RoundRect(LICE_IBitmap* dest, float x, float y, float w, float h, int cornerradius,
                    LICE_pixel color, float alpha, int mode, bool aa);

/// Outline covering w + 1 by h + 1 pixels from (x, y); corners are drawn twice.
void LICE_DrawRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float alpha,
                   int mode);

/// Fills (x + 1, y + 1, w - 1 by h - 1) with bgcolor, then the outline of
/// LICE_DrawRect in fgcolor.
void LICE_BorderedRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel bgcolor,
                       LICE_pixel fgcolor, float alpha, int mode);

/// Fills between the span [x1a, x1b] of row y1 and [x2a, x2b] of row y2, ends
/// included; the rows between take edges interpolated in 16.16 fixed point.
void LICE_FillTrapezoid(LICE_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                        LICE_pixel color, float alpha, int mode);

/// Fills the triangle (LICE_FillConvexPolygon of its three points).
void LICE_FillTriangle(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3,
                       LICE_pixel color, float alpha, int mode);

/// Fills the convex polygon of npoints points (x[i], y[i]); fewer than 3
/// points or null arrays draw nothing.
void LICE_FillConvexPolygon(LICE_IBitmap* dest, const int* x, const int* y, int npoints,
                            LICE_pixel color, float alpha, int mode);

/// Fills between the cubic Bezier curve (start, two controls, end) and the
/// row yfill, column range by column range; tol is the sampling step in
/// pixels along the control polygon (<= 0 counts as 1).
void LICE_FillCBezier(LICE_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                      float xctl2, float yctl2, float xend, float yend, int yfill,
                      LICE_pixel color, float alpha, int mode, float tol = 0.0f);

/// LICE_FillCBezier with x and y exchanged: fills toward the column xfill.
void LICE_FillCBezierX(LICE_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                       float xctl2, float yctl2, float xend, float yend, int xfill,
                       LICE_pixel color, float alpha, int mode, float tol = 0.0f);
