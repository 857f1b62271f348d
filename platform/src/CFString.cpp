// Strings of the CoreFoundation stand-in. A string keeps its text as UTF-8
// and knows its length in UTF-16 units, which is what lengths and ranges
// count on the platform.
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "CFInternal.h"

namespace
{
// Decodes one code point at p (valid UTF-8 assumed); returns its byte count.
size_t DecodeUTF8(const unsigned char* p, UInt32* cp)
{
  if (p[0] < 0x80)
  {
    *cp = p[0];
    return 1;
  }
  if ((p[0] & 0xE0) == 0xC0)
  {
    *cp = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    return 2;
  }
  if ((p[0] & 0xF0) == 0xE0)
  {
    *cp = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    return 3;
  }
  *cp = ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
  return 4;
}

void AppendUTF8(std::string& out, UInt32 cp)
{
  if (cp < 0x80)
    out += static_cast<char>(cp);
  else if (cp < 0x800)
  {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  else
  {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Converts bytes in the encoding to UTF-8; false when they are not valid in it.
bool ToUTF8(const char* bytes, size_t n, CFStringEncoding encoding, std::string* out)
{
  switch (encoding)
  {
  case kCFStringEncodingUTF8:
    if (!QuillCheckUTF8(bytes, n, nullptr))
      return false;
    out->assign(bytes, n);
    return true;
  case kCFStringEncodingASCII:
  case kCFStringEncodingMacRoman:
    for (size_t i = 0; i < n; ++i)
      if (bytes[i] == 0 || static_cast<unsigned char>(bytes[i]) >= 0x80)
        return false;
    out->assign(bytes, n);
    return true;
  case kCFStringEncodingISOLatin1:
    out->clear();
    for (size_t i = 0; i < n; ++i)
    {
      if (bytes[i] == 0)
        return false;
      AppendUTF8(*out, static_cast<unsigned char>(bytes[i]));
    }
    return true;
  default:
    return false;
  }
}

// Largest code point the encoding holds in one byte, or 0 for UTF-8.
UInt32 SingleByteLimit(CFStringEncoding encoding)
{
  switch (encoding)
  {
  case kCFStringEncodingASCII:
  case kCFStringEncodingMacRoman:
    return 0x7F;
  case kCFStringEncodingISOLatin1:
    return 0xFF;
  default:
    return 0;
  }
}

bool SupportedEncoding(CFStringEncoding encoding)
{
  return encoding == kCFStringEncodingUTF8 || SingleByteLimit(encoding) != 0;
}

int CompareFolded(const std::string& a, const std::string& b, bool caseInsensitive)
{
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i)
  {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (caseInsensitive)
    {
      if (ca >= 'A' && ca <= 'Z')
        ca = static_cast<unsigned char>(ca + 32);
      if (cb >= 'A' && cb <= 'Z')
        cb = static_cast<unsigned char>(cb + 32);
    }
    if (ca != cb)
      return ca < cb ? -1 : 1;
  }
  // UTF-8 byte order is code point order, so a shorter prefix sorts first.
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
} // namespace

bool QuillCheckUTF8(const char* bytes, size_t n, CFIndex* utf16Length)
{
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  CFIndex units = 0;
  size_t i = 0;
  while (i < n)
  {
    unsigned char c = p[i];
    size_t len;
    UInt32 minCp;
    if (c == 0)
      return false;
    if (c < 0x80)
    {
      len = 1;
      minCp = 0;
    }
    else if ((c & 0xE0) == 0xC0)
    {
      len = 2;
      minCp = 0x80;
    }
    else if ((c & 0xF0) == 0xE0)
    {
      len = 3;
      minCp = 0x800;
    }
    else if ((c & 0xF8) == 0xF0)
    {
      len = 4;
      minCp = 0x10000;
    }
    else
      return false;
    if (n - i < len)
      return false;
    for (size_t k = 1; k < len; ++k)
      if ((p[i + k] & 0xC0) != 0x80)
        return false;
    UInt32 cp;
    DecodeUTF8(p + i, &cp);
    // Overlong forms, surrogates and values beyond Unicode are not text.
    if (cp < minCp || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
      return false;
    units += cp >= 0x10000 ? 2 : 1;
    i += len;
  }
  if (utf16Length)
    *utf16Length = units;
  return true;
}

__CFString::__CFString(std::string utf8, bool constant)
  : QuillCFObject(kQuillCFTypeString, constant), mUTF8(std::move(utf8)), mUTF16Length(0)
{
  QuillCheckUTF8(mUTF8.data(), mUTF8.size(), &mUTF16Length);
}

CFStringRef QuillCreateStringFromUTF8(const std::string& utf8)
{
  return new (std::nothrow) __CFString(utf8);
}

CFStringRef __CFStringMakeConstantString(const char* cStr)
{
  // Interned by content and never freed, like the platform's literals.
  static std::mutex sMutex;
  static std::map<std::string, std::unique_ptr<__CFString>>* sTable =
    new std::map<std::string, std::unique_ptr<__CFString>>();
  if (!cStr)
    return nullptr;
  std::string utf8;
  if (!ToUTF8(cStr, strlen(cStr), kCFStringEncodingUTF8, &utf8))
    return nullptr;
  std::lock_guard<std::mutex> lock(sMutex);
  std::unique_ptr<__CFString>& slot = (*sTable)[utf8];
  if (!slot)
    slot.reset(new __CFString(utf8, true));
  return slot.get();
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding)
{
  if (!cStr)
    return nullptr;
  std::string utf8;
  if (!ToUTF8(cStr, strlen(cStr), encoding, &utf8))
    return nullptr;
  return QuillCreateStringFromUTF8(utf8);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes, CFStringEncoding encoding,
                                    Boolean)
{
  if (numBytes < 0 || (!bytes && numBytes > 0))
    return nullptr;
  std::string utf8;
  if (!ToUTF8(reinterpret_cast<const char*>(bytes), static_cast<size_t>(numBytes), encoding, &utf8))
    return nullptr;
  return QuillCreateStringFromUTF8(utf8);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef str)
{
  const __CFString* s = QuillString(str);
  return s ? QuillCreateStringFromUTF8(s->mUTF8) : nullptr;
}

CFIndex CFStringGetLength(CFStringRef str)
{
  const __CFString* s = QuillString(str);
  return s ? s->mUTF16Length : 0;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding)
{
  if (length < 0 || !SupportedEncoding(encoding))
    return -1;
  // A UTF-16 unit takes at most 3 UTF-8 bytes (a surrogate pair takes 4 for 2).
  return encoding == kCFStringEncodingUTF8 ? length * 3 : length;
}

CFIndex CFStringGetBytes(CFStringRef str, CFRange range, CFStringEncoding encoding, UInt8 lossByte, Boolean,
                         UInt8* buffer, CFIndex maxBufLen, CFIndex* usedBufLen)
{
  if (usedBufLen)
    *usedBufLen = 0;
  const __CFString* s = QuillString(str);
  if (!s || !SupportedEncoding(encoding) || range.location < 0 || range.length < 0 ||
      range.location > s->mUTF16Length || range.length > s->mUTF16Length - range.location)
    return 0;
  if (buffer && maxBufLen < 0)
    return 0;
  const UInt32 limit = SingleByteLimit(encoding);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s->mUTF8.data());
  const CFIndex end = range.location + range.length;
  CFIndex unit = 0, converted = 0, used = 0;
  size_t i = 0;
  while (i < s->mUTF8.size() && unit < end)
  {
    UInt32 cp;
    size_t len = DecodeUTF8(p + i, &cp);
    CFIndex units = cp >= 0x10000 ? 2 : 1;
    if (unit >= range.location)
    {
      // A pair split by the range start or end is not converted.
      if (unit + units > end)
        break;
      const unsigned char* out = p + i;
      size_t outLen = len;
      unsigned char single;
      if (limit != 0)
      {
        if (cp > limit)
        {
          if (lossByte == 0)
            break;
          single = lossByte;
        }
        else
          single = static_cast<unsigned char>(cp);
        out = &single;
        outLen = 1;
      }
      if (buffer)
      {
        if (used + static_cast<CFIndex>(outLen) > maxBufLen)
          break;
        memcpy(buffer + used, out, outLen);
      }
      used += static_cast<CFIndex>(outLen);
      converted += units;
    }
    unit += units;
    i += len;
  }
  if (usedBufLen)
    *usedBufLen = used;
  return converted;
}

Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
  if (!buffer || bufferSize < 1)
    return false;
  buffer[0] = 0;
  const __CFString* s = QuillString(str);
  if (!s)
    return false;
  CFIndex used = 0;
  CFIndex converted = CFStringGetBytes(str, CFRange{0, s->mUTF16Length}, encoding, 0, false,
                                       reinterpret_cast<UInt8*>(buffer), bufferSize - 1, &used);
  if (converted != s->mUTF16Length)
  {
    // Like the platform: a string that does not fit whole is a failure, not
    // a silently shortened result.
    buffer[0] = 0;
    return false;
  }
  buffer[used] = 0;
  return true;
}

const char* CFStringGetCStringPtr(CFStringRef str, CFStringEncoding encoding)
{
  const __CFString* s = QuillString(str);
  if (!s)
    return nullptr;
  if (encoding == kCFStringEncodingUTF8)
    return s->mUTF8.c_str();
  if (encoding == kCFStringEncodingASCII && static_cast<CFIndex>(s->mUTF8.size()) == s->mUTF16Length)
  {
    for (char c : s->mUTF8)
      if (static_cast<unsigned char>(c) >= 0x80)
        return nullptr;
    return s->mUTF8.c_str();
  }
  return nullptr;
}

CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFOptionFlags compareOptions)
{
  const __CFString* sa = QuillString(a);
  const __CFString* sb = QuillString(b);
  if (!sa || !sb)
    return sa == sb ? kCFCompareEqualTo : (sa ? kCFCompareGreaterThan : kCFCompareLessThan);
  return CompareFolded(sa->mUTF8, sb->mUTF8, (compareOptions & kCFCompareCaseInsensitive) != 0);
}

// ---- Formatting ---------------------------------------------------------------

namespace
{
bool AppendDescription(std::string& out, CFTypeRef obj)
{
  if (!obj)
  {
    out += "(null)";
    return true;
  }
  CFStringRef d = CFCopyDescription(obj);
  if (!d)
    return false;
  out += QuillString(d)->mUTF8;
  CFRelease(d);
  return true;
}

template <class T>
void AppendPrintf(std::string& out, const std::string& conv_spec, T value)
{
  char small[128];
  int n = snprintf(small, sizeof(small), conv_spec.c_str(), value);
  if (n < 0)
    return;
  if (static_cast<size_t>(n) < sizeof(small))
  {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  snprintf(&big[0], big.size(), conv_spec.c_str(), value);
  out.append(big.data(), static_cast<size_t>(n));
}

// Formats into out; false for a conversion this implementation refuses
// (positional arguments, %n, wide characters) or an unknown one.
bool Format(std::string& out, const char* f, va_list ap)
{
  while (*f)
  {
    if (*f != '%')
    {
      out += *f++;
      continue;
    }
    ++f;
    if (*f == '%')
    {
      out += '%';
      ++f;
      continue;
    }
    std::string conv_spec = "%";
    while (*f && strchr("-+ #0'", *f))
      conv_spec += *f++;
    // A width or precision: digits, or '*' taking the next int argument.
    auto takeCount = [&] {
      if (*f == '*')
      {
        conv_spec += std::to_string(va_arg(ap, int));
        ++f;
      }
      else
        while (*f >= '0' && *f <= '9')
          conv_spec += *f++;
    };
    takeCount();
    if (*f == '$')
      return false;
    if (*f == '.')
    {
      conv_spec += *f++;
      takeCount();
    }
    std::string length;
    while (*f && strchr("hlqLzjt", *f))
      length += *f++;
    const char conv = *f;
    if (!conv)
      return false;
    ++f;
    // %lc and %ls take wide characters, and a length on a character, string,
    // pointer or object conversion would read the argument as another type.
    if (!length.empty() && strchr("c@sp", conv))
      return false;
    switch (conv)
    {
    case '@':
      if (!AppendDescription(out, va_arg(ap, CFTypeRef)))
        return false;
      break;
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X':
    case 'c':
    {
      bool isSigned = conv == 'd' || conv == 'i';
      std::string s = conv_spec;
      if (length == "l" || length == "z" || length == "t" || length == "j")
      {
        s += "l";
        s += conv;
        if (isSigned)
          AppendPrintf(out, s, va_arg(ap, long));
        else
          AppendPrintf(out, s, va_arg(ap, unsigned long));
      }
      else if (length == "ll" || length == "q")
      {
        s += "ll";
        s += conv;
        if (isSigned)
          AppendPrintf(out, s, va_arg(ap, long long));
        else
          AppendPrintf(out, s, va_arg(ap, unsigned long long));
      }
      else
      {
        s += length == "hh" || length == "h" ? length : std::string();
        s += conv;
        AppendPrintf(out, s, va_arg(ap, int));
      }
      break;
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      if (length == "L")
        AppendPrintf(out, conv_spec + "L" + conv, va_arg(ap, long double));
      else
        AppendPrintf(out, conv_spec + conv, va_arg(ap, double));
      break;
    case 's':
    {
      const char* s = va_arg(ap, const char*);
      AppendPrintf(out, conv_spec + "s", s ? s : "(null)");
      break;
    }
    case 'p':
      AppendPrintf(out, conv_spec + "p", va_arg(ap, void*));
      break;
    default:
      return false;
    }
  }
  return true;
}
} // namespace

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef, CFStringRef format,
                                                 va_list arguments)
{
  const __CFString* f = QuillString(format);
  if (!f)
    return nullptr;
  std::string out;
  va_list ap;
  va_copy(ap, arguments);
  bool ok = Format(out, f->mUTF8.c_str(), ap);
  va_end(ap);
  // %s may insert bytes that are not UTF-8; such a result is refused.
  if (!ok || !QuillCheckUTF8(out.data(), out.size(), nullptr))
    return nullptr;
  return QuillCreateStringFromUTF8(out);
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...)
{
  va_list ap;
  va_start(ap, format);
  CFStringRef result = CFStringCreateWithFormatAndArguments(alloc, formatOptions, format, ap);
  va_end(ap);
  return result;
}
