#include "bench/corpus.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bench/utf8.h"

namespace bench {
namespace {

// FNV-1a over the first notes: pins the corpus to the same bytes everywhere.
std::uint64_t Fingerprint(long notes) {
  CorpusGenerator generator;
  std::uint64_t hash = 1469598103934665603ULL;
  auto mix = [&hash](const std::string& text) {
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
    hash = (hash ^ 0xFF) * 1099511628211ULL;  // field separator
  };
  for (long i = 0; i < notes; ++i) {
    Note note = generator.Next();
    mix(note.title);
    mix(note.content);
    mix(note.link);
  }
  return hash;
}

bool IsAsciiOnly(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool HasNoAsciiCharacter(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x80) return false;
  }
  return true;
}

TEST(CorpusGenerator, SameSeedGivesTheSameBytesEverywhere) {
  // The constant was taken once; a change here means every published figure
  // was measured on a different corpus.
  EXPECT_EQ(Fingerprint(200), Fingerprint(200));
  EXPECT_EQ(Fingerprint(200), 0x4f48548ddbd33b97ULL) << std::hex << Fingerprint(200);
}

TEST(CorpusGenerator, OtherSeedsGiveOtherNotes) {
  CorpusGenerator a(1), b(2);
  EXPECT_NE(a.Next().content, b.Next().content);
}

TEST(CorpusGenerator, NotesKeepTheirShape) {
  CorpusGenerator generator;
  CorpusSummary summary;
  const long kNotes = 20000;
  for (long i = 0; i < kNotes; ++i) {
    Note note = generator.Next();
    AddToSummary(note, &summary);
    SCOPED_TRACE("note " + std::to_string(i + 1));
    long title = CountCharacters(note.title);
    ASSERT_GE(title, 6);
    ASSERT_LE(title, 30);
    ASSERT_TRUE(HasNoAsciiCharacter(note.title)) << note.title;
    long content = CountCharacters(note.content);
    ASSERT_GE(content, 50);
    ASSERT_LE(content, 1500);
    ASSERT_TRUE(IsAsciiOnly(note.link)) << note.link;
    ASSERT_EQ(note.link.rfind("http", 0), 0u) << note.link;
    for (const std::string* text : {&note.title, &note.content, &note.link}) {
      ASSERT_EQ(text->find('\''), std::string::npos) << *text;
      ASSERT_EQ(text->find(kMissKeyword), std::string::npos);
    }
    bool has_keyword = note.title.find(kHitKeyword) != std::string::npos ||
                       note.content.find(kHitKeyword) != std::string::npos;
    ASSERT_EQ(has_keyword, note.has_hit_keyword);
    // A line break is never cut in half.
    for (size_t at = note.content.find('\r'); at != std::string::npos;
         at = note.content.find('\r', at + 1)) {
      ASSERT_LT(at + 1, note.content.size());
      ASSERT_EQ(note.content[at + 1], '\n');
    }
  }
  EXPECT_GT(summary.hit_notes, kNotes / 200);
  EXPECT_LT(summary.hit_notes, kNotes * 3 / 200);
}

TEST(CorpusGenerator, ContentMixesEveryKindOfText) {
  CorpusGenerator generator;
  std::string all;
  for (int i = 0; i < 50; ++i) all += generator.Next().content;
  EXPECT_NE(all.find(Utf8(u8"‘")), std::string::npos);
  EXPECT_NE(all.find("\r\n"), std::string::npos);
  EXPECT_NE(all.find('"'), std::string::npos);
  EXPECT_NE(all.find("vector"), std::string::npos);
  EXPECT_NE(all.find(Utf8(u8"。")), std::string::npos);
}

TEST(CorpusText, CountsCharactersAndCodePageBytes) {
  struct Case {
    std::string utf8;
    long characters;
    std::uint64_t code_page_bytes;
  } cases[] = {
      {"", 0, 0},
      {"abc\r\n", 5, 5},
      {Utf8(u8"知识点"), 3, 6},
      {Utf8(u8"it‘s 函数"), 7, 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountCharacters(c.utf8), c.characters) << c.utf8;
    EXPECT_EQ(CodePageBytes(c.utf8), c.code_page_bytes) << c.utf8;
  }
}

}  // namespace
}  // namespace bench
