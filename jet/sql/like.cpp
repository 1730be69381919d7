#include "jet/sql/like.h"

#include "jet/sql/collation.h"

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
  return Status::Ok();
}

bool LikePattern::Matches(std::string_view text_utf8) const {
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
