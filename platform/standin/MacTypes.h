// Base types of the platform interfaces, as on macOS x86-64 (LP64).
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32; // int, not long, on LP64
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;
typedef unsigned char Boolean; // one byte; true = 1
typedef unsigned char Byte;
typedef SInt32 OSStatus;
typedef SInt16 OSErr;
typedef UInt32 OSType;
typedef UInt32 FourCharCode;
typedef char* Ptr;
typedef Ptr* Handle;
typedef double CGFloat;

enum
{
  noErr = 0,
  paramErr = -50, // a required pointer was null or an argument is out of range
};

// The four-character code 'abcd' as the platform's compilers form it.
#define QUILL_FOUR_CC(a, b, c, d) \
  ((UInt32)(((UInt32)(UInt8)(a) << 24) | ((UInt32)(UInt8)(b) << 16) | ((UInt32)(UInt8)(c) << 8) | (UInt32)(UInt8)(d)))

static_assert(sizeof(SInt32) == 4 && sizeof(Boolean) == 1 && sizeof(Handle) == 8, "LP64 base types");
