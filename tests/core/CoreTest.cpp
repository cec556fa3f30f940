#include <gtest/gtest.h>

#include "core/Component.h"
#include "core/StrUtils.h"
#include "core/Streams.h"
#include "tests/support/TempDir.h"

namespace tavrik {
namespace {

// A component that records the removals it is told about and clears its reference.
class Watcher : public TComponent {
 public:
  using TComponent::TComponent;
  TComponent* watched = nullptr;
  std::vector<TComponent*> removed;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    if (op == TOperation::opRemove) {
      removed.push_back(c);
      if (c == watched) watched = nullptr;
    }
  }
};

class Counted : public TComponent {
 public:
  Counted(TComponent* owner, int* alive) : TComponent(owner), alive_(alive) { ++*alive_; }
  ~Counted() override { --*alive_; }

 private:
  int* alive_;
};

TEST(Component, OwnerDestroysWhatItOwnsAndForgetsWhatGoesFirst) {
  int alive = 0;
  auto owner = std::make_unique<Watcher>();
  auto* a = new Counted(owner.get(), &alive);
  new Counted(owner.get(), &alive);
  EXPECT_EQ(owner->Components().size(), 2u);
  delete a;  // removes itself from its owner
  EXPECT_EQ(owner->Components().size(), 1u);
  EXPECT_EQ(owner->removed, std::vector<TComponent*>{a});
  owner.reset();
  EXPECT_EQ(alive, 0);
}

TEST(Component, FreeNotificationClearsReferencesBothWays) {
  Watcher holder;
  {
    TComponent target;
    holder.watched = &target;
    holder.FreeNotification(&target);
  }
  EXPECT_EQ(holder.watched, nullptr);

  // The other way round: the holder dies first, the target must not call into it later.
  auto target = std::make_unique<Watcher>();
  {
    Watcher short_lived;
    short_lived.FreeNotification(target.get());
  }
  target.reset();  // would touch freed memory if the link had survived
}

TEST(MemoryStream, WritesGrowReadsStopAtTheEnd) {
  TMemoryStream s;
  s.WriteString("hello");
  s.SetPosition(3);
  s.WriteString("p!");
  EXPECT_EQ(s.ToString(), "help!");
  s.SetPosition(2);
  char buf[10] = {};
  EXPECT_EQ(s.Read(buf, 10), 3);
  EXPECT_STREQ(buf, "lp!");
  EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
  s.Seek(-2, TSeekOrigin::soEnd);
  EXPECT_EQ(s.Position(), 3);
  s.SetSize(2);
  EXPECT_EQ(s.Position(), 2);
  s.Clear();
  EXPECT_EQ(s.Size(), 0);
}

TEST(FileStream, RoundTripAndClearOpenErrors) {
  testing::TempDir dir;
  TMemoryStream out;
  std::string big(200000, 'x');
  big[123456] = 'y';
  out.WriteString(big);
  out.SaveToFile(dir.File("a.bin"));

  TMemoryStream in;
  in.LoadFromFile(dir.File("a.bin"));
  EXPECT_EQ(in.ToString(), big);
  EXPECT_EQ(in.Position(), 0);

  try {
    TFileStream missing(dir.File("nope"), TFileStream::fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + dir.File("nope"));
    EXPECT_STREQ(e.ClassName(), "EFOpenError");
  }
  EXPECT_THROW(TFileStream(dir.File("no/such/dir"), TFileStream::fmCreate), EFCreateError);
}

TEST(FileStream, FullDiskIsAWriteError) {
  TFileStream full("/dev/full", TFileStream::fmOpenWrite);
  EXPECT_THROW(full.WriteString("x"), EWriteError);
}

TEST(StrUtils, IntegersInDecimalAndHexadecimal) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},          {"42", 42},        {"-7", -7},       {"  12", 12},
      {"0x1F", 31},      {"0X1f", 31},      {"$FF", 255},     {"-$10", -16},
      {"abc", {}},       {"", {}},          {"12 ", {}},      {"0x", {}},
      {"2147483647", 2147483647},           {"2147483648", {}},
      {"-2147483648", INT32_MIN},           {"0xFFFFFFFF", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(TryStrToInt(c.text), c.value) << c.text;
  EXPECT_EQ(TryHexToInt("0000001A"), 26);
  EXPECT_EQ(TryHexToInt("FFFFFFFF"), -1);
  EXPECT_EQ(TryHexToInt("1G"), std::nullopt);
  EXPECT_EQ(TryHexToInt("100000000"), std::nullopt);
}

TEST(StrUtils, PaddingHexAndTrimming) {
  EXPECT_EQ(IntToHex(26, 8), "0000001A");
  EXPECT_EQ(IntToHex(-1, 8), "FFFFFFFF");
  EXPECT_EQ(IntToHex(-1, 4), "FFFFFFFF");  // two's complement is always 32 bits
  EXPECT_EQ(PadRight("ab", 5), "ab   ");
  EXPECT_EQ(PadRight("abcdef", 3), "abcdef");
  EXPECT_EQ(Trim("\t\r\n ab c \x01"), "ab c");
  EXPECT_EQ(UpperCase("abc\xe9"), "ABC\xe9");  // only ASCII folds
  EXPECT_TRUE(SameText("Server", "SERVER"));
}

TEST(StrUtils, NamePartOfAPathWrittenForEitherSystem) {
  const std::pair<const char*, const char*> cases[] = {
      {"c:\\quorvale\\quorvale.mdb", "quorvale.mdb"},
      {"c:quorvale.mdb", "quorvale.mdb"},
      {"/home/clerk/data/a.mdb", "a.mdb"},
      {"c:\\mixed/dir\\x.zip", "x.zip"},
      {"plain.zip", "plain.zip"},
      {"folder/", ""},
      {"", ""},
  };
  for (auto [path, name] : cases) EXPECT_EQ(ExtractFileName(path), name) << path;
}

}  // namespace
}  // namespace tavrik
