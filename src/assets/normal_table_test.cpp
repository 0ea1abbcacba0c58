#include "assets/normal_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

TEST(NormalTable, MatchesTheGoldenFile) {
  std::ifstream in(std::string(OSTREVANE_SOURCE_DIR) + "/tests/data/normal_table.txt");
  ASSERT_TRUE(in) << "tests/data/normal_table.txt";
  std::string line;
  uint32_t rows = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int index, x, y, z;
    ASSERT_TRUE(fields >> index >> x >> y >> z) << line;
    ASSERT_EQ((uint32_t)index, rows);
    EXPECT_EQ(NORMAL_TABLE[index][0], x) << "entry " << index;
    EXPECT_EQ(NORMAL_TABLE[index][1], y) << "entry " << index;
    EXPECT_EQ(NORMAL_TABLE[index][2], z) << "entry " << index;
    rows++;
  }
  EXPECT_EQ(rows, NORMAL_TABLE_SIZE);
}

TEST(NormalTable, IsASpiralFromUpToDownWithTheFixedEntries) {
  struct Fixed {
    uint32_t index;
    int x, y, z;
  } fixed[] = {{0, 11, -1, 127}, {1, -15, 12, 126}, {128, 96, -84, 0}, {255, -9, 7, -127}};
  for (const Fixed& f : fixed) {
    EXPECT_EQ(NORMAL_TABLE[f.index][0], f.x) << f.index;
    EXPECT_EQ(NORMAL_TABLE[f.index][1], f.y) << f.index;
    EXPECT_EQ(NORMAL_TABLE[f.index][2], f.z) << f.index;
  }
  for (uint32_t i = 0; i < NORMAL_TABLE_SIZE; i++) {
    const int8_t* n = NORMAL_TABLE[i];
    double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    EXPECT_NEAR(length, 127.0, 1.5) << "entry " << i;
    EXPECT_NEAR(n[2], 127.0 * (1.0 - (2.0 * i + 1.0) / 256.0), 0.51) << "entry " << i;
  }
}

TEST(NormalTable, NearestPicksTheLargestDotProductFirstOnTies) {
  // Each entry is its own nearest: no two entries coincide.
  for (uint32_t i = 0; i < NORMAL_TABLE_SIZE; i++) {
    const int8_t* n = NORMAL_TABLE[i];
    EXPECT_EQ(normal_table_nearest(n[0], n[1], n[2]), i);
  }
  EXPECT_EQ(normal_table_nearest(0, 0, 1), 0u);
  EXPECT_EQ(normal_table_nearest(0, 0, -5), 255u);
  // Brute force over a few directions, first index winning ties.
  const float directions[][3] = {{1, 0, 0}, {0, 1, 0}, {-0.3f, 0.2f, -0.9f}, {0.7f, -0.7f, 0.1f}};
  for (const auto& d : directions) {
    uint32_t best = 0;
    float best_dot = -1e9f;
    for (uint32_t i = 0; i < NORMAL_TABLE_SIZE; i++) {
      float dot = d[0] * NORMAL_TABLE[i][0] + d[1] * NORMAL_TABLE[i][1] + d[2] * NORMAL_TABLE[i][2];
      if (dot > best_dot) best_dot = dot, best = i;
    }
    EXPECT_EQ(normal_table_nearest(d[0], d[1], d[2]), best);
  }
  EXPECT_EQ(normal_table_nearest(0, 0, 0), 0u) << "a zero direction ties everywhere";
  EXPECT_EQ(normal_table_nearest(NAN, 0, 1), 0u);
}
