#include <gtest/gtest.h>

#include <random>
#include <set>

#include "xbase/IndexError.h"
#include "xbase/IndexTree.h"

namespace tavrik::xbase {
namespace {

using TModel = std::set<std::pair<std::string, uint32_t>>;

struct TTreeFixture {
  // The longest keys give the smallest pages (16 entries), so a few thousand entries make a
  // tree of several levels with many splits and merges.
  explicit TTreeFixture(size_t key_length = 240)
      : bytes(std::make_shared<std::vector<uint8_t>>()),
        pager(TIndexPager::Create(std::make_unique<TMemoryStorage>("tree.mxi", bytes))),
        tree((pager->Slots().push_back({}), *pager), 0, 0, key_length) {}

  std::shared_ptr<std::vector<uint8_t>> bytes;
  std::unique_ptr<TIndexPager> pager;
  TIndexTree tree;
};

std::string Key(uint32_t n, size_t length) {
  std::string k = std::to_string(n);
  k.insert(0, 6 - std::min<size_t>(6, k.size()), '0');
  k.resize(length, ' ');
  return k;
}

// Every entry by ordinal, and lower bounds of entries and of gaps, against the model.
void ExpectSameAs(TIndexTree& tree, const TModel& model, size_t key_length) {
  ASSERT_EQ(tree.Count(), model.size());
  uint32_t i = 0;
  for (const auto& [key, recno] : model) {
    TTreeEntry e = tree.At(i);
    ASSERT_EQ(e.key, key) << "ordinal " << i;
    ASSERT_EQ(e.recno, recno) << "ordinal " << i;
    ASSERT_EQ(tree.LowerBound(key, recno), i);
    ASSERT_EQ(tree.LowerBound(key, recno + 1), i + 1);
    ++i;
  }
  EXPECT_EQ(tree.LowerBound(std::string(key_length, '\xFF'), 1), model.size());
  EXPECT_EQ(tree.LowerBound(std::string(key_length, '\0'), 0), 0u);
}

TEST(IndexTree, RandomInsertsAndErasesMatchASortedSet) {
  TTreeFixture f;
  TModel model;
  std::mt19937 rng(12345);
  for (int round = 0; round < 6000; ++round) {
    uint32_t n = rng() % 700;
    uint32_t recno = 1 + rng() % 5;
    std::string key = Key(n, 240);
    bool present = model.count({key, recno}) > 0;
    if (rng() % 3 == 0) {
      EXPECT_EQ(f.tree.Erase(key, recno), present);
      model.erase({key, recno});
    } else {
      EXPECT_EQ(f.tree.Insert(key, recno), !present);
      model.insert({key, recno});
    }
    if (round % 1000 == 999) ExpectSameAs(f.tree, model, 240);
  }
  ExpectSameAs(f.tree, model, 240);
}

TEST(IndexTree, EmptyingTheTreeFreesItsPagesForReuse) {
  TTreeFixture f;
  for (uint32_t n = 1; n <= 2000; ++n) ASSERT_TRUE(f.tree.Insert(Key(n, 240), n));
  uint32_t pages = f.pager->PageCount();
  for (uint32_t n = 1; n <= 2000; ++n) ASSERT_TRUE(f.tree.Erase(Key(n, 240), n));
  EXPECT_EQ(f.tree.Count(), 0u);
  EXPECT_EQ(f.pager->Slots()[0].keys.root, 0u);
  EXPECT_EQ(f.tree.LowerBound(Key(5, 240), 1), 0u);
  EXPECT_FALSE(f.tree.Erase(Key(5, 240), 5));
  for (uint32_t n = 2000; n >= 1; --n) ASSERT_TRUE(f.tree.Insert(Key(n, 240), n));
  EXPECT_EQ(f.pager->PageCount(), pages);  // the second filling took only freed pages
}

TEST(IndexTree, LoadBuildsTheSameTreeAsInserts) {
  TTreeFixture f(12);
  std::vector<TTreeEntry> entries;
  TModel model;
  for (uint32_t n = 1; n <= 5000; ++n) {
    entries.push_back({Key(n / 3, 12), n});
    model.insert({Key(n / 3, 12), n});
  }
  f.tree.Load(entries);
  ExpectSameAs(f.tree, model, 12);
  // Loaded pages take further inserts and erases like any other.
  for (uint32_t n = 1; n <= 5000; n += 7) {
    ASSERT_TRUE(f.tree.Erase(Key(n / 3, 12), n));
    model.erase({Key(n / 3, 12), n});
    ASSERT_TRUE(f.tree.Insert(Key(n, 12), n + 10000));
    model.insert({Key(n, 12), n + 10000});
  }
  ExpectSameAs(f.tree, model, 12);
}

TEST(IndexTree, LoadRefusesEntriesOutOfOrder) {
  TTreeFixture f(4);
  EXPECT_THROW(f.tree.Load({{"bbbb", 1}, {"aaaa", 2}}), std::invalid_argument);
  EXPECT_THROW(f.tree.Load({{"aaaa", 2}, {"aaaa", 2}}), std::invalid_argument);
  EXPECT_THROW(f.tree.Load({{"aaa", 1}}), std::invalid_argument);
}

TEST(IndexTree, SurvivesASmallCache) {
  TTreeFixture f(40);
  f.pager->SetCacheLimit(16);  // pages are written out and read back all the time
  TModel model;
  std::mt19937 rng(7);
  for (int i = 0; i < 4000; ++i) {
    uint32_t n = rng() % 100000;
    if (f.tree.Insert(Key(n, 40), n + 1)) model.insert({Key(n, 40), n + 1});
  }
  ExpectSameAs(f.tree, model, 40);
}

}  // namespace
}  // namespace tavrik::xbase
