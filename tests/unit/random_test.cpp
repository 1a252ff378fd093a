#include "saver/random.h"

#include <gtest/gtest.h>

namespace {

uint32_t fixedTicks = 0;
uint32_t FixedTicks() { return fixedTicks; }

class RandomSource : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSource_ = randomTickSource;
    randomTickSource = FixedTicks;
    randomState = 0.0;
  }
  void TearDown() override {
    randomTickSource = savedSource_;
    randomState = 0.0;
  }
  void Seed(uint32_t ticks) {
    fixedTicks = ticks;
    EXPECT_EQ(RandomValue(0), 0);
  }

 private:
  uint32_t (*savedSource_)() = nullptr;
};

TEST_F(RandomSource, KnownSequenceFromStateZero) {
  EXPECT_EQ(RandomValue(15), 0);
  EXPECT_EQ(randomState, 0.5310259821344516);
  EXPECT_EQ(RandomValue(15), 7);
  EXPECT_EQ(RandomValue(15), 5);
  EXPECT_EQ(RandomValue(15), 1);
}

TEST_F(RandomSource, SeedingScalesTheTickCountIntoZeroToOne) {
  struct Case {
    uint32_t ticks;
    double state;
  };
  const Case cases[] = {
      {0, 0.0},  {1, 1.0}, {10, 1.0},  {1000, 1.0}, {999, 0.999},
      {20, 0.2}, {2, 0.2}, {11, 0.11}, {5, 0.5},    {4294967295u, 0.4294967295},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ticks);
    randomState = 0.75;
    Seed(c.ticks);
    EXPECT_DOUBLE_EQ(randomState, c.state);
    EXPECT_LE(randomState, 1.0);
  }
}

TEST_F(RandomSource, APowerOfTenSeedMakesTheNextValueNItself) {
  for (uint32_t ticks : {1u, 10u, 100u, 1000u, 1000000000u}) {
    SCOPED_TRACE(ticks);
    Seed(ticks);
    EXPECT_EQ(randomState, 1.0);
    EXPECT_EQ(RandomValue(15), 15);
    EXPECT_LT(randomState, 1.0);
  }
}

TEST_F(RandomSource, ValuesAfterTheFirstStayBelowN) {
  for (uint32_t ticks = 0; ticks < 5000; ticks += 7) {
    Seed(ticks);
    RandomValue(100);  // the first value may be n itself
    for (int32_t n : {1, 4, 15, 100}) {
      const int32_t value = RandomValue(n);
      ASSERT_GE(value, 0) << ticks;
      ASSERT_LT(value, n) << ticks;
      ASSERT_GE(randomState, 0.0);
      ASSERT_LT(randomState, 1.0);
    }
  }
}

TEST_F(RandomSource, NegativeNTruncatesTowardZero) {
  randomState = 0.5310259821344516;
  EXPECT_EQ(RandomValue(-15), -7);
}

TEST_F(RandomSource, ZeroTicksStayAtStateZero) {
  Seed(0);
  EXPECT_EQ(randomState, 0.0);
  EXPECT_EQ(RandomValue(15), 0);
  EXPECT_EQ(randomState, 0.5310259821344516);
}

}  // namespace
