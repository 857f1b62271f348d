// The host's sample loops between a file's interleaved frames and the
// planar channels a unit renders: split, join with each channel's peak, for
// one or two channels. They run 256-bit loops when the processor has AVX2
// and SSE loops otherwise, with equal results.
#pragma once

#include <cstddef>

// Splits `frames` interleaved frames of `nch` (1 or 2) channels into planes
// `span` floats apart.
void DeinterleaveFrames(const float* frame, size_t nch, size_t frames, float* planes, size_t span);
// Splits `frames` stereo frames into two separate channels.
void SplitStereo(const float* frame, size_t frames, float* left, float* right);
// The reverse of DeinterleaveFrames, raising peaks[c] (nch values) to the
// largest magnitude written to channel c, NaN skipped: the peaks
// AudioFileWriter::Write takes.
void InterleaveFrames(const float* planes, size_t span, size_t frames, float* frame, size_t nch, float* peaks);

// Which loops run: `avx2` asks for the wide ones (ignored where they cannot
// run), so tests can compare both.
bool FrameLoopsCanUseAvx2();
void DeinterleaveFramesWith(bool avx2, const float* frame, size_t nch, size_t frames, float* planes, size_t span);
void SplitStereoWith(bool avx2, const float* frame, size_t frames, float* left, float* right);
void InterleaveFramesWith(bool avx2, const float* planes, size_t span, size_t frames, float* frame, size_t nch,
                          float* peaks);
