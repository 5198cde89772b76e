#include "bench/maximal_scenario.h"

#include <cstdio>

namespace {

// A small deterministic generator (a linear congruential one), the same everywhere.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  int below(int limit) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 8) % static_cast<uint32_t>(limit));
  }

 private:
  uint32_t state_;
};

std::string row(const char* pattern, long a, long b = 0, long c = 0, long d = 0) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b, c, d);
  return std::string(text) + "\r\n";
}

}  // namespace

ScenarioSources maximal_scenario(uint32_t seed) {
  Random random(seed);
  constexpr long kRoute = 1000000;
  // The line is laid out in blocks of 2500 m (50 cells). In block b, from B = 2500 b:
  //   a signal at B + 2350 (cell +48); a speed indicator at B + 1100 (cell +23);
  //   odd blocks: a slowdown at B + 1800, 400 m long (warning cell +13, boards +12 to +9,
  //   start +37, end +45; the block's own signal is the exit rule's);
  //   every tenth block from 2: a station at B + 1250 (end cell +28, markers +27 to +24);
  //   every tenth block from 9: a signboard at B + 700 (cell +15);
  //   blocks 4, 9, 14, ...: a tunnel from B + 100 to B + 900 with markers.
  constexpr int kBlocks = 400;
  constexpr long kBlock = 2500;

  std::string line = "[generale]\r\n";
  line += row("lunghezza percorso,    %ld", kRoute);
  line += "progressiva chilometrica uno,    0,    1000000,    0\r\n";
  line += "progressiva chilometrica due,    0,    0,    0\r\n";
  line += "progressiva chilometrica tre,    0,    0,    0\r\n";
  line += "sfondo uno,    0\r\nsfondo due,    1\r\nsfondo tre,    0\r\n";
  line += "ripetizione segnali 4 codici,    0    ,0\r\n";
  line += "[curve]\r\n";
  for (int b = 0; b < kBlocks; ++b) {
    // Curves over 60 % of the line, turning each way in turn, gently.
    line +=
        row("curva%c%ld,  %ld,  1500", b % 2 ? 's' : 'd', 1 + random.below(3), b * kBlock + 300);
  }
  line += "[pendenze]\r\n";
  for (int b = 0; b < kBlocks; ++b) {
    line += row("pendenza,  %ld,   %ld", b * kBlock, random.below(61) - 30);
  }
  line += "[montagne]\r\n";
  for (int t = 0; t < 80; ++t) {
    const long start = (4 + 5L * t) * kBlock + 100;
    line += row("montagna,   %ld,  %ld,  %ld", start, start + 800, t % 2 ? 2 : 12);
  }
  line += "[cartelli]\r\n";
  for (int b = 0; b < kBlocks; ++b) {
    const long v = 60 + 5 * random.below(12);
    line += row("indicatori_vmax,  %ld,  %ld,  %ld,  %ld,  0,  ,  ,  ,  0", b * kBlock + 1100, v,
                v + 5, v + 10);
  }
  line += "[indicazioni]\r\n";
  for (int s = 0; s < 40; ++s) {
    line += row("cartello_indicatore,  %ld,   (Cippo Km.)( %ld+000  )",
                (9 + 10L * s) * kBlock + 700, (9 + 10L * s) * kBlock / 1000);
  }
  line += "[fine]\r\n";

  std::string train = "[generale]\r\n";
  train += "numero vetture,    5\r\npercentuale massa frenata,    100\r\nsabbia,    100\r\n";
  train += "orologio,    6              0            0 \r\n";
  train += "[aderenze]\r\naderenza,   0,    100\r\n";
  train += "[vel_limite]\r\n";
  for (int b = 0; b < kBlocks; b += 4) {
    train += row("velocita, %8ld,%6ld", b * kBlock, 80 + 5 * random.below(9));
  }
  train += "[stazioni]\r\n";
  // 40 signboard texts leave entries 1 to 40: 38 stations keep the counter below the texts.
  for (int s = 0; s < 38; ++s) {
    const long position = (2 + 10L * s) * kBlock + 1250;
    const long minutes = 6 * 60 + 12 * s;
    train += row("stazione, %ld, 12,  400,  0, 0, 1,  0,0,0,  4,1,1,   30,  %ld,%ld, 0, Stazione ",
                 position, minutes / 60, minutes % 60);
    train.insert(train.size() - 2, std::to_string(s + 1));
  }
  train += "[rallentamenti]\r\n";
  for (int b = 1; b < kBlocks; b += 2) {
    train += row("rallentamento,   %ld,    %ld,  400, 1,  1,  0", b * kBlock + 1800,
                 30 + 10 * random.below(7));
  }
  train += "[segnali]\r\n";
  for (int b = 0; b < kBlocks; ++b) {
    train += row("segnale,   %ld,   2, 4, 1,  0, 0,    0,  0,0,0, %ld", b * kBlock + 2350,
                 random.below(2) * 130);
  }
  train += "[codici]\r\n[fine]\r\n";
  return {line, train};
}
