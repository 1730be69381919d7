// LIKE patterns as the Jet OLE DB provider reads them (ANSI-92 wildcards):
//   %        any run of characters, also none
//   _        exactly one character
//   [abc]    one of the listed characters; [a-z] a range; [!abc] none of them
//   []       matches nothing (zero characters)
//   anything else, '*' and '?' included, stands for itself.
// Inside a list '-' first or last and '!' not first stand for themselves.  An
// unclosed '[' or a backward range ([z-a]) makes the pattern invalid.
// Matching ignores letter case (collation.h) and covers the whole text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jet/status.h"

namespace jet::sql {

class LikePattern {
 public:
  // InvalidArgument "invalid pattern string" for a malformed pattern.
  static Status Compile(std::string_view pattern_utf8, LikePattern* pattern);
  bool Matches(std::string_view text_utf8) const;

 private:
  struct Element {
    enum class Kind { kAnyRun, kAnyOne, kChar, kList } kind;
    char32_t c = 0;                                  // kChar, folded
    std::vector<std::pair<char32_t, char32_t>> ranges;  // kList, folded, inclusive
    bool negated = false;                            // kList
    bool MatchesOne(char32_t folded) const;
  };
  void FindPlainSubstring();
  std::vector<Element> elements_;
  // Set for '%text%' whose characters only ASCII case-folding can reach:
  // then a byte search of the UTF-8 text decides, without decoding it.
  bool plain_substring_ = false;
  std::string needle_;  // UTF-8, ASCII letters in lower case
};

}  // namespace jet::sql
