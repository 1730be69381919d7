#include "jet/sql/like.h"

#include "jet/codec.h"
#include "jet/sql/collation.h"

#include <algorithm>
#include <functional>

namespace jet::sql {

bool LikePattern::Element::MatchesOne(char32_t folded) const {
  switch (kind) {
    case Kind::kAnyOne: return true;
    case Kind::kChar: return folded == c;
    case Kind::kList: {
      bool in = false;
      for (const auto& [low, high] : ranges) in = in || (folded >= low && folded <= high);
      return in != negated;
    }
    case Kind::kAnyRun: break;
  }
  return false;
}

Status LikePattern::Compile(std::string_view pattern_utf8, LikePattern* pattern) {
  const std::u32string p = DecodeUtf8(pattern_utf8);
  pattern->elements_.clear();
  for (std::size_t i = 0; i < p.size(); ++i) {
    Element e{};
    if (p[i] == U'%') {
      if (!pattern->elements_.empty() && pattern->elements_.back().kind == Element::Kind::kAnyRun)
        continue;  // %% is %
      e.kind = Element::Kind::kAnyRun;
    } else if (p[i] == U'_') {
      e.kind = Element::Kind::kAnyOne;
    } else if (p[i] == U'[') {
      const std::size_t close = p.find(U']', i + 1);
      if (close == std::u32string::npos)
        return Status::InvalidArgument("invalid pattern string: '[' not closed");
      std::u32string list = p.substr(i + 1, close - i - 1);
      i = close;
      if (list.empty()) continue;  // [] matches zero characters
      e.kind = Element::Kind::kList;
      std::size_t j = 0;
      if (list[0] == U'!' && list.size() > 1) {
        e.negated = true;
        j = 1;
      }
      for (; j < list.size(); ++j) {
        const char32_t low = FoldCase(list[j]);
        if (j + 2 < list.size() && list[j + 1] == U'-') {
          const char32_t high = FoldCase(list[j + 2]);
          if (high < low) return Status::InvalidArgument("invalid pattern string: backward range");
          e.ranges.emplace_back(low, high);
          j += 2;
        } else {
          e.ranges.emplace_back(low, low);
        }
      }
    } else {
      e.kind = Element::Kind::kChar;
      e.c = FoldCase(p[i]);
    }
    pattern->elements_.push_back(std::move(e));
  }
  pattern->FindPlainSubstring();
  return Status::Ok();
}

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

// True when the only characters that fold to `c` are `c` itself and, for an
// ASCII letter, its capital: the targets of FoldCase (collation.cpp) are
// kept out.
bool ReachedOnlyByAsciiFolding(char32_t c) {
  if (c < 0x80) return true;
  if (FoldCase(c) != c) return false;
  const std::pair<char32_t, char32_t> targets[] = {
      {0xE0, 0xFF}, {0x100, 0x17F}, {0x3B1, 0x3C9}, {0x430, 0x45F}, {0xFF41, 0xFF5A}};
  for (const auto& [low, high] : targets) {
    if (c >= low && c <= high) return false;
  }
  return true;
}

}  // namespace

// UTF-8 is self-synchronising: a byte match of the needle is a match of its
// characters, and ASCII bytes occur only as ASCII characters.
void LikePattern::FindPlainSubstring() {
  plain_substring_ = false;
  needle_.clear();
  if (elements_.size() < 3 || elements_.front().kind != Element::Kind::kAnyRun ||
      elements_.back().kind != Element::Kind::kAnyRun) {
    return;
  }
  for (std::size_t i = 1; i + 1 < elements_.size(); ++i) {
    const Element& e = elements_[i];
    if (e.kind != Element::Kind::kChar || !ReachedOnlyByAsciiFolding(e.c) || e.c == 0xFFFD) return;
    AppendUtf8(e.c, &needle_);
  }
  plain_substring_ = true;
}

bool LikePattern::Matches(std::string_view text_utf8) const {
  if (plain_substring_) {
    const auto same = [](char a, char b) { return LowerAscii(a) == b; };
    return std::search(text_utf8.begin(), text_utf8.end(), needle_.begin(), needle_.end(), same) != text_utf8.end();
  }
  const std::u32string text = FoldedText(text_utf8);
  // Greedy match that backtracks only to the last '%': each '%' can only
  // take more characters, so no earlier choice needs revisiting.
  std::size_t t = 0, e = 0;
  std::size_t star_element = std::string::npos, star_text = 0;
  while (t < text.size()) {
    if (e < elements_.size() && elements_[e].kind == Element::Kind::kAnyRun) {
      star_element = e++;
      star_text = t;
    } else if (e < elements_.size() && elements_[e].MatchesOne(text[t])) {
      ++e;
      ++t;
    } else if (star_element != std::string::npos) {
      e = star_element + 1;
      t = ++star_text;
    } else {
      return false;
    }
  }
  while (e < elements_.size() && elements_[e].kind == Element::Kind::kAnyRun) ++e;
  return e == elements_.size();
}

}  // namespace jet::sql
