#include "bench/corpus.h"

#include <array>

#include "bench/utf8.h"

namespace bench {
namespace {

// Common characters of study notes.  鲲, 鹏, 麒 and 麟 are left out on
// purpose: they make the search keywords unique (see corpus.h).
constexpr std::u8string_view kCharacters =
    u8"的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动"
    u8"同工也能下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二"
    u8"理起小物现实加量都两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义"
    u8"事平形相全表间样与关各重新线内数正心反你明看原又么利比或但质气第向道命此变条只没结解"
    u8"问意建月公无系军很情者最立代想已通并提直题党程展五果料象员革位入常文总次品式活设及管"
    u8"特件长求老头基资边流路级少图山统接知较将组见计别她手角期根论运农指几九区强放决西被干"
    u8"做必战先回则任取据处队南给色光门即保治北造百规热领七海口东导器压志世金增争济阶油思术"
    u8"极交受联什认六共权收证改清己美再采转更单风切打白教速花带安场身车例真务具万每目至达走"
    u8"积示议声报斗完类八离华名确才科张信马节话米整空元况今集温传土许步群广石记需段研界拉林"
    u8"律叫且究观越织装影算低持音众书布复容儿须际商非验连断深难近矿千周委素技备半办青省列习"
    u8"响约支般史感劳便团往酸历市克何除消构府称太准精值号率族维划选标写存候毛亲快效斯院查江"
    u8"型眼王按格养易置派层片始却专状育厂京识适属圆包火住调满县局照参红细引听该铁价严函数组"
    u8"指针链表栈队列树哈希排序查找递归内存线程进程锁编译链接调试变量类型对象继承封装多态模板"
    u8"迭代容器接口协议网络缓存索引事务日志字符串编码解码文件目录路径权限配置部署测试断言异常";

constexpr std::array<std::u8string_view, 24> kTerms = {
    u8"函数", u8"指针", u8"链表", u8"二叉树", u8"哈希表", u8"快速排序", u8"动态规划", u8"递归",
    u8"内存管理", u8"线程安全", u8"互斥锁", u8"编译器", u8"链接器", u8"虚函数", u8"模板",
    u8"迭代器", u8"智能指针", u8"数据库", u8"事务", u8"索引", u8"正则表达式", u8"字符编码",
    u8"网络协议", u8"缓存"};

constexpr std::array<std::u8string_view, 32> kWords = {
    u8"vector", u8"map", u8"string", u8"HTTP", u8"TCP", u8"socket", u8"thread", u8"mutex",
    u8"lambda", u8"template", u8"iterator", u8"pointer", u8"buffer", u8"cache", u8"index",
    u8"query", u8"SELECT", u8"JOIN", u8"Linux", u8"Windows", u8"Python", u8"C++20", u8"git",
    u8"commit", u8"O(log n)", u8"O(n^2)", u8"heap", u8"stack", u8"UTF-8", u8"GBK", u8"JSON",
    u8"50% off"};

// The program keeps "‘" where the user typed an apostrophe.
constexpr std::array<std::u8string_view, 8> kApostrophePhrases = {
    u8"it‘s", u8"don‘t", u8"can‘t", u8"the compiler‘s view", u8"Knuth‘s book",
    u8"user‘s guide", u8"that‘s why", u8"won‘t"};

// Double quotes, backslashes, percent signs, underscores and tabs on purpose:
// they exercise CSV quoting, LIKE wildcards and the escapes of every peer.
constexpr std::array<std::u8string_view, 12> kCode = {
    u8"int main() { return 0; }",
    u8"for (int i = 0; i < n; ++i) sum += a[i];",
    u8"std::vector<int> v{1, 2, 3};",
    u8"printf(\"%d\\n\", count);",
    u8"if (p == nullptr) return -1;",
    u8"auto it = m.find(key);\r\n\tif (it != m.end()) use(it->second);",
    u8"SELECT * FROM t WHERE name LIKE \"a_%\";",
    u8"def fib(n): return n if n < 2 else fib(n-1) + fib(n-2)",
    u8"git log --oneline | head -5",
    u8"while (lo < hi) { mid = lo + (hi - lo) / 2; }",
    u8"#include <unordered_map>",
    u8"x = (y << 3) | (z & 0xFF);"};

constexpr std::array<std::u8string_view, 6> kHosts = {
    u8"www.example.com", u8"docs.example.org", u8"blog.example.net", u8"wiki.example.cn",
    u8"git.example.io", u8"learn.example.edu"};

constexpr std::array<std::u8string_view, 16> kPathWords = {
    u8"notes", u8"cpp", u8"algorithms", u8"2019", u8"2023", u8"tutorial", u8"reference",
    u8"chapter-3", u8"sorting", u8"memory", u8"network", u8"db", u8"faq", u8"index",
    u8"%E7%AE%97%E6%B3%95", u8"a_b"};

std::vector<std::string> SplitCharacters(std::u8string_view text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xF0) length = 4;
    else if (lead >= 0xE0) length = 3;
    else if (lead >= 0xC0) length = 2;
    out.push_back(Utf8(text.substr(i, length)));
    i += length;
  }
  return out;
}

template <size_t N>
std::string_view Pick(Random& random, const std::array<std::u8string_view, N>& items) {
  std::u8string_view item = items[random.Below(N)];
  return {reinterpret_cast<const char*>(item.data()), item.size()};
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset of the character `characters` characters in.
size_t OffsetOfCharacter(std::string_view utf8, long characters) {
  size_t i = 0;
  for (long seen = 0; i < utf8.size(); ++i) {
    if (!IsContinuationByte(utf8[i])) {
      if (seen == characters) return i;
      ++seen;
    }
  }
  return utf8.size();
}

}  // namespace

std::uint64_t Random::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

long CountCharacters(std::string_view utf8) {
  long count = 0;
  for (char c : utf8) count += IsContinuationByte(c) ? 0 : 1;
  return count;
}

std::uint64_t CodePageBytes(std::string_view utf8) {
  std::uint64_t bytes = 0;
  for (char c : utf8) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80) bytes += 1;
    else if (!IsContinuationByte(c)) bytes += 2;
  }
  return bytes;
}

void AddToSummary(const Note& note, CorpusSummary* summary) {
  ++summary->notes;
  if (note.has_hit_keyword) ++summary->hit_notes;
  for (const std::string* text : {&note.title, &note.content, &note.link}) {
    summary->utf8_bytes += text->size();
    summary->text_bytes += CodePageBytes(*text);
  }
}

CorpusGenerator::CorpusGenerator(std::uint64_t seed)
    : random_(seed), characters_(SplitCharacters(kCharacters)) {}

Note CorpusGenerator::Next() {
  Note note;
  note.has_hit_keyword = random_.Below(100) == 0;
  bool keyword_in_title = note.has_hit_keyword && random_.Below(2) == 0;
  note.title = Title(keyword_in_title);
  note.content = Content(note.has_hit_keyword && !keyword_in_title);
  note.link = Link();
  return note;
}

// Chinese only: single characters mixed with the terms of the trade.
std::string CorpusGenerator::ChineseRun(long characters) {
  std::string out;
  long have = 0;
  while (have < characters) {
    if (random_.Below(4) == 0) {
      std::string_view term = Pick(random_, kTerms);
      long length = CountCharacters(term);
      if (have + length <= characters) {
        out += term;
        have += length;
        continue;
      }
    }
    out += characters_[random_.Below(characters_.size())];
    ++have;
  }
  return out;
}

std::string CorpusGenerator::Title(bool with_keyword) {
  long length = random_.Between(6, 30);
  if (!with_keyword) return ChineseRun(length);
  long keyword_length = CountCharacters(kHitKeyword);
  std::string title = ChineseRun(length - keyword_length);
  size_t at = OffsetOfCharacter(title, random_.Between(0, length - keyword_length));
  title.insert(at, kHitKeyword);
  return title;
}

std::string CorpusGenerator::Content(bool with_keyword) {
  long target = random_.Between(50, 1500);
  long keyword_length = with_keyword ? CountCharacters(kHitKeyword) : 0;
  long body = target - keyword_length;
  std::string out;
  long have = 0;
  while (have < body) {
    std::string piece;
    switch (random_.Below(10)) {
      case 0: case 1: case 2: case 3:
        piece = ChineseRun(random_.Between(5, 30)) + (random_.Below(2) ? "\xEF\xBC\x8C" : "\xE3\x80\x82");  // ， 。
        break;
      case 4: case 5:
        piece = std::string(Pick(random_, kWords)) + " ";
        break;
      case 6:
        piece = std::string(Pick(random_, kApostrophePhrases)) + " ";
        break;
      case 7:
        piece = "\r\n" + std::string(Pick(random_, kCode)) + "\r\n";
        break;
      case 8:
        piece = "\r\n";
        break;
      default:
        piece = ChineseRun(random_.Between(2, 8)) + " " + std::string(Pick(random_, kWords)) + " ";
        break;
    }
    out += piece;
    have += CountCharacters(piece);
  }
  out.resize(OffsetOfCharacter(out, body));
  // Never end on half a line break (a lone CR): the length stays the same.
  if (!out.empty() && out.back() == '\r') out.back() = '.';
  if (with_keyword) {
    size_t at = OffsetOfCharacter(out, random_.Between(0, body));
    if (at > 0 && at < out.size() && out[at - 1] == '\r') --at;  // keep CR LF together
    out.insert(at, kHitKeyword);
  }
  return out;
}

std::string CorpusGenerator::Link() {
  std::string link = random_.Below(5) == 0 ? "http://" : "https://";
  link += Pick(random_, kHosts);
  long segments = random_.Between(1, 4);
  for (long i = 0; i < segments; ++i) {
    link += "/";
    link += Pick(random_, kPathWords);
  }
  link += "/" + std::to_string(random_.Below(100000));
  if (random_.Below(2) == 0) link += ".html";
  if (random_.Below(4) == 0) link += "?id=" + std::to_string(random_.Below(1000000)) + "&lang=zh";
  if (random_.Below(6) == 0) link += "#section-" + std::to_string(random_.Between(1, 9));
  return link;
}

}  // namespace bench
