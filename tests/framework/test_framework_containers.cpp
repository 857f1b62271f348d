#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "framework/Containers.h"

namespace
{
struct Tracked
{
  static int sLive;
  int id;
  explicit Tracked(int i) : id(i) { ++sLive; }
  ~Tracked() { --sLive; }
};
int Tracked::sLive = 0;
} // namespace

TEST(WDLString, AppendsFormatsAndCutsWithoutLosingTheTerminator)
{
  WDL_String s;
  EXPECT_STREQ(s.Get(), "") << "an empty string must read as \"\", never null";
  s.Set("abcdef", 3);
  EXPECT_STREQ(s.Get(), "abc");
  s.Append("XYZ", 2);
  EXPECT_STREQ(s.Get(), "abcXY");
  s.AppendFormatted(0, "-%d-", 42);
  EXPECT_STREQ(s.Get(), "abcXY-42-");
  s.SetFormatted(4, "%s", "truncated");
  EXPECT_STREQ(s.Get(), "trun");
  EXPECT_EQ(s.GetLength(), 4);
  s.Set(nullptr);
  EXPECT_STREQ(s.Get(), "");
}

TEST(WDLString, ALimitedSetReadsNoFurtherThanTheLimit)
{
  // bytes taken from a chunk carry no NUL; nothing past the limit may be read
  char* raw = static_cast<char*>(malloc(3));
  memcpy(raw, "abc", 3);
  WDL_String s;
  s.Set(raw, 3);
  EXPECT_STREQ(s.Get(), "abc");
  s.Append(raw, 2);
  EXPECT_STREQ(s.Get(), "abcab");
  free(raw);
}

TEST(WDLString, AppendingItselfSurvivesReallocation)
{
  WDL_String s("0123456789");
  for (int i = 0; i < 8; ++i) s.Append(s.Get()); // grows well past the first allocation
  EXPECT_EQ(s.GetLength(), 10 << 8);
  std::string expected;
  for (int i = 0; i < 256; ++i) expected += "0123456789";
  EXPECT_EQ(expected, s.Get());
}

TEST(WDLPtrList, InsertDeleteAndFindKeepOrder)
{
  WDL_PtrList<Tracked> list;
  Tracked* a = list.Add(new Tracked(1));
  Tracked* c = list.Add(new Tracked(3));
  Tracked* b = list.Insert(1, new Tracked(2));
  list.Insert(99, new Tracked(4)); // beyond the end appends
  ASSERT_EQ(list.GetSize(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list.Get(i)->id, i + 1);
  EXPECT_EQ(list.Get(-1), nullptr);
  EXPECT_EQ(list.Get(4), nullptr);
  EXPECT_EQ(list.Find(c), 2);

  list.Delete(0, true);
  EXPECT_EQ(list.Get(0), b);
  EXPECT_EQ(list.Find(a), -1);
  list.Delete(17, true); // ignored
  EXPECT_EQ(list.GetSize(), 3);

  list.Empty(true);
  EXPECT_EQ(list.GetSize(), 0);
  EXPECT_EQ(Tracked::sLive, 0) << "elements deleted by the owner must all be freed";
}

TEST(WDLTypedBuf, GrowingKeepsContentsAndShrinkingKeepsStorage)
{
  WDL_TypedBuf<int> buf(16);
  for (int i = 0; i < 1000; ++i) ASSERT_NE(buf.Add(i), nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(buf.Get()[i], i);
  int* before = buf.Get();
  buf.Resize(10);
  buf.Resize(900);
  EXPECT_EQ(buf.Get(), before) << "shrinking then regrowing within capacity must not reallocate";
  EXPECT_EQ(buf.Resize(-5), buf.Get());
  EXPECT_EQ(buf.GetSize(), 0);
}

TEST(WDLMutex, IsRecursiveAndExcludesOtherThreads)
{
  WDL_Mutex m;
  int counter = 0;
  {
    WDL_MutexLock outer(&m);
    WDL_MutexLock inner(&m); // must not deadlock
    ++counter;
  }
  std::thread t([&] {
    for (int i = 0; i < 10000; ++i)
    {
      WDL_MutexLock lock(&m);
      ++counter;
    }
  });
  for (int i = 0; i < 10000; ++i)
  {
    WDL_MutexLock lock(&m);
    ++counter;
  }
  t.join();
  EXPECT_EQ(counter, 20001);
  WDL_MutexLock nothing(nullptr); // a null mutex locks nothing
}
