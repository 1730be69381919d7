// The knowledge table's statements, spliced from fixed pieces.
#include "store/statements.h"

namespace store {
namespace {

constexpr std::string_view kApostrophe = "'";
constexpr std::string_view kStandIn = "‘";  // A1 AE

// A text that would end its literal early: any 0x27 byte, wherever it sits.
bool HoldsApostrophe(std::string_view piece) { return piece.find(kApostrophe) != std::string_view::npos; }

}  // namespace

std::string_view SelectAllStatement() { return "select * from 知识点 order by ID desc"; }

std::optional<Text> SearchStatement(std::string_view keyword) {
  if (HoldsApostrophe(keyword)) return std::nullopt;
  return text::JoinTexts({"select * from 知识点 where 标题 like'%", keyword, "%' or 内容 like'%", keyword, "%'"});
}

std::optional<Text> InsertStatement(std::string_view title, std::string_view content, std::string_view link) {
  if (HoldsApostrophe(title) || HoldsApostrophe(content) || HoldsApostrophe(link)) return std::nullopt;
  return text::JoinTexts(
      {"INSERT INTO 知识点 (标题,内容,资料链接) VALUES ('", title, "','", content, "','", link, "')"});
}

std::optional<Text> UpdateStatement(std::string_view title, std::string_view content, std::string_view link,
                                    std::string_view id) {
  if (HoldsApostrophe(title) || HoldsApostrophe(content) || HoldsApostrophe(link)) return std::nullopt;
  return text::JoinTexts(
      {"update 知识点 set 标题='", title, "',内容='", content, "',资料链接='", link, "' where ID=", id});
}

Text DeleteStatement(std::string_view id) { return text::JoinTexts({"delete from 知识点 where ID=", id}); }

Text EscapeApostrophes(std::string_view content) { return text::ReplaceText(content, kApostrophe, kStandIn); }

Text RestoreApostrophes(std::string_view content) { return text::ReplaceText(content, kStandIn, kApostrophe); }

}  // namespace store
