// The benchmark's corpus: a reproducible stream of knowledge points.
//
// Invariant: the same seed gives the same notes, byte for byte, on every
// machine and compiler -- the generator uses its own PRNG (splitmix64) and
// its own range reduction, never <random>'s distributions, whose results are
// implementation-defined.
//
// Every text is UTF-8 and holds only characters of the program's code page
// (GBK), so it survives the GB18030 round trip unchanged.  No text holds an
// ASCII apostrophe: the program stores "‘" in its place in the content and
// refuses it in titles and links.
//
// About 1% of the notes carry kHitKeyword (in the title or in the content);
// no note carries kMissKeyword.  Both keywords use characters that the
// generator never draws otherwise, so chance cannot add or remove matches.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

inline constexpr std::uint64_t kDefaultSeed = 20261211;
inline constexpr long kMinNotes = 1000;
inline constexpr long kMaxNotes = 1000000;
inline constexpr long kDefaultNotes = 100000;

// UTF-8; written as \u escapes so that the bytes do not depend on the
// compiler's execution character set.
inline constexpr std::string_view kHitKeyword = "\xE9\xB2\xB2\xE9\xB9\x8F\xE7\xAE\x97\xE6\xB3\x95";   // 鲲鹏算法
inline constexpr std::string_view kMissKeyword = "\xE9\xBA\x92\xE9\xBA\x9F\xE8\xB8\xAA\xE8\xBF\xB9";  // 麒麟踪迹

// One knowledge point, UTF-8.  Its ID is its position in the stream, from 1.
struct Note {
  std::string title;
  std::string content;
  std::string link;
  bool has_hit_keyword = false;
};

// splitmix64: tiny, fast, and fully specified.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  // Uniform enough in [0, bound); REQUIRES: bound > 0.
  std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }
  // In [low, high].
  long Between(long low, long high) { return low + static_cast<long>(Below(high - low + 1)); }

 private:
  std::uint64_t state_;
};

class CorpusGenerator {
 public:
  explicit CorpusGenerator(std::uint64_t seed = kDefaultSeed);
  Note Next();

 private:
  std::string Title(bool with_keyword);
  std::string Content(bool with_keyword);
  std::string Link();
  std::string ChineseRun(long characters);

  Random random_;
  std::vector<std::string> characters_;  // each one UTF-8 Chinese character
};

// What a corpus adds up to, for the checks and the memory goal.
struct CorpusSummary {
  long notes = 0;
  long hit_notes = 0;
  std::uint64_t utf8_bytes = 0;  // title + content + link
  std::uint64_t text_bytes = 0;  // the same in the program's code page
};
void AddToSummary(const Note& note, CorpusSummary* summary);

// Unicode scalar values in a UTF-8 text.
long CountCharacters(std::string_view utf8);
// Bytes of the text in GBK: one per ASCII character, two per other one
// (every character the generator emits is a two-byte GBK character).
std::uint64_t CodePageBytes(std::string_view utf8);

}  // namespace bench
