// The text codecs: Jet 4's UTF-16LE and its compressed form, to UTF-8.
#include "jet/codec.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace jet {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Literals are compiled to GB18030; the codec speaks UTF-8.
std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

struct DecodeCase {
  const char* name;
  Bytes stored;
  std::string utf8;
};

TEST(CodecTest, DecodesStoredTexts) {
  const std::vector<DecodeCase> cases = {
      {"empty", {}, ""},
      {"ascii", {'a', 0, 'B', 0}, "aB"},
      {"chinese", {0x7D, 0x51, 0x70, 0x65}, U8(u8"\u517D\u6570")},
      {"emoji pair", {0x3D, 0xD8, 0x00, 0xDE}, U8(u8"\U0001F600")},
      {"lone high surrogate at the end", {'x', 0, 0x3D, 0xD8}, U8(u8"x\uFFFD")},
      {"lone low surrogate", {0x00, 0xDE, 'y', 0}, U8(u8"\uFFFDy")},
      {"odd trailing byte ignored", {'a', 0, 'b'}, "a"},
      {"compressed ascii", {0xFF, 0xFE, 'h', 'i'}, "hi"},
      {"compressed latin-1", {0xFF, 0xFE, 'c', 'a', 'f', 0xE9}, U8(u8"caf\u00E9")},
      {"compressed, then two-byte, then one-byte",
       {0xFF, 0xFE, 'a', 0x00, 0x2D, 0x4E, 0x87, 0x65, 0x00, 'z'},
       U8(u8"a\u4E2D\u6587z")},
      {"compressed starting with a switch", {0xFF, 0xFE, 0x00, 0x2D, 0x4E}, U8(u8"\u4E2D")},
      {"compressed emoji in two-byte mode", {0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x01, 0xDE}, U8(u8"\U0001F601")},
      {"compressed, lone trailing byte in two-byte mode", {0xFF, 0xFE, 'a', 0x00, 0x2D, 0x4E, 0x41}, U8(u8"a\u4E2D")},
      {"only the mark", {0xFF, 0xFE}, ""},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(DecodeJet4Text(c.stored.data(), c.stored.size()), c.utf8) << c.name;
  }
}

TEST(CodecTest, WhatIsEncodedDecodesToTheSameText) {
  const std::vector<std::string> texts = {
      "",
      "plain ASCII words and code: if (a < b) { return a; }",
      U8(u8"\u51FD\u6570\u7684\u5B9A\u4E49\u4E0E\u8C03\u7528 mixed with ASCII\r\nand \u2018quotes\u2019"),
      U8(u8"caf\u00E9 na\u00EFve"),
      U8(u8"\U0001F600 outside the basic plane \U00020000"),
      U8(u8"\uFEFF starts with the byte-order mark"),
      std::string(5000, 'x') + U8(u8"\u4E2D"),
  };
  for (bool compress : {false, true}) {
    for (const std::string& text : texts) {
      Bytes stored;
      ASSERT_TRUE(EncodeJet4Text(text, compress, &stored).ok()) << text;
      EXPECT_EQ(DecodeJet4Text(stored.data(), stored.size()), text) << (compress ? "compressed: " : "") << text;
    }
  }
}

TEST(CodecTest, RefusesMalformedUtf8) {
  Bytes out;
  for (const std::string& bad : {std::string("\xC3"), std::string("\xED\xA0\x80"), std::string("\xF8\x88\x80\x80")}) {
    EXPECT_EQ(EncodeJet4Text(bad, true, &out).code(), Status::Code::kInvalidArgument);
  }
}

}  // namespace
}  // namespace jet
