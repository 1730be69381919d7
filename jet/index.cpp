#include "jet/index.h"

#include <algorithm>
#include <set>
#include <string>

#include "jet/bytes.h"
#include "jet/index_key.h"
#include "jet/tdef.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

constexpr std::uint32_t kBitmapStart = 0x1B;
constexpr std::size_t kPointerBytes = 4;
constexpr int kMaxDepth = 32;

std::string PageWhere(std::uint32_t n) { return "index page " + std::to_string(n); }

// The sortable part of an entry: everything but an intermediate entry's
// child page number.
std::vector<std::uint8_t> SortPart(const IndexPage& page, const std::vector<std::uint8_t>& entry) {
  if (page.leaf()) return entry;
  return std::vector<std::uint8_t>(entry.begin(), entry.end() - 4);
}

int Compare(const std::uint8_t* a, std::size_t an, const std::uint8_t* b, std::size_t bn) {
  int c = std::memcmp(a, b, std::min(an, bn));
  if (c != 0) return c;
  return an < bn ? -1 : an > bn ? 1 : 0;
}

int CompareSort(const IndexPage& page, const std::vector<std::uint8_t>& entry, const std::vector<std::uint8_t>& leaf_entry) {
  std::size_t n = page.leaf() ? entry.size() : entry.size() - 4;
  return Compare(entry.data(), n, leaf_entry.data(), leaf_entry.size());
}

std::vector<std::uint8_t> NodeEntry(const std::vector<std::uint8_t>& max_leaf_entry, std::uint32_t child) {
  std::vector<std::uint8_t> e = max_leaf_entry;
  for (int i = 3; i >= 0; --i) e.push_back(static_cast<std::uint8_t>(child >> (8 * i)));
  return e;
}

Status ReadIndexPage(Pager& pager, std::uint32_t number, IndexPage* page) {
  PageBytes bytes;
  JET_RETURN_IF_ERROR(pager.Read(number, &bytes));
  return ParseIndexPage(*bytes, number, page);
}

Status WriteIndexPage(Pager& pager, std::uint32_t number, const IndexPage& page) {
  std::vector<std::uint8_t> bytes;
  if (!BuildIndexPage(page, pager.page_size(), &bytes)) {
    return Status::Corruption(PageWhere(number) + ": entries do not fit the page");
  }
  return pager.Write(number, std::move(bytes));
}

std::size_t EntryBytes(const IndexPage& page) {
  std::size_t n = 0;
  for (const auto& e : page.entries) n += e.size();
  return n;
}

bool Fits(const IndexPage& page, std::uint32_t page_size) { return EntryBytes(page) <= IndexPageCapacity(page_size); }

// One step of a descent: the page and which of its entries leads down
// (-1: the tail child).
struct Step {
  std::uint32_t number;
  IndexPage page;
  int child = -1;
};

// Walks from `root` to the leaf where `target` belongs.  A target above
// every entry of a node without a tail goes to its last child.
Status Descend(Pager& pager, std::uint32_t root, const std::vector<std::uint8_t>& target, std::vector<Step>* path) {
  path->clear();
  std::uint32_t number = root;
  std::set<std::uint32_t> seen;
  for (int depth = 0;; ++depth) {
    if (depth > kMaxDepth || !seen.insert(number).second) {
      return Status::Corruption(PageWhere(root) + ": the index tree loops or is too deep");
    }
    Step step{number, {}, -1};
    JET_RETURN_IF_ERROR(ReadIndexPage(pager, number, &step.page));
    if (step.page.leaf()) {
      path->push_back(std::move(step));
      return Status::Ok();
    }
    const auto& entries = step.page.entries;
    int chosen = -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (CompareSort(step.page, entries[i], target) >= 0) {
        chosen = static_cast<int>(i);
        break;
      }
    }
    std::uint32_t child;
    if (chosen >= 0) {
      child = IndexPage::Child(entries[chosen]);
    } else if (step.page.tail != 0) {
      child = step.page.tail;
    } else if (!entries.empty()) {
      chosen = static_cast<int>(entries.size()) - 1;
      child = IndexPage::Child(entries[chosen]);
    } else {
      return Status::Corruption(PageWhere(number) + ": intermediate page without entries");
    }
    step.child = chosen;
    path->push_back(std::move(step));
    number = child;
  }
}

// Where a node's subtree ends: the sort part of its last entry.
// REQUIRES: the page has entries and (for nodes) no tail.
std::vector<std::uint8_t> MaxOf(const IndexPage& page) { return SortPart(page, page.entries.back()); }

// A node whose tail child changes gets an ordinary entry for it instead, so
// that every page this engine writes has no tail.  The tail's subtree end
// is found by walking down its last entries.
Status AbsorbTail(Pager& pager, Step* step) {
  if (step->page.leaf() || step->page.tail == 0) return Status::Ok();
  std::uint32_t number = step->page.tail;
  for (int depth = 0; depth <= kMaxDepth; ++depth) {
    IndexPage p;
    JET_RETURN_IF_ERROR(ReadIndexPage(pager, number, &p));
    if (!p.leaf() && p.tail != 0) {
      number = p.tail;
      continue;
    }
    if (p.entries.empty()) return Status::Corruption(PageWhere(number) + ": empty page at the right edge");
    if (p.leaf()) {
      step->page.entries.push_back(NodeEntry(p.entries.back(), step->page.tail));
      if (step->child == -1) step->child = static_cast<int>(step->page.entries.size()) - 1;
      step->page.tail = 0;
      return Status::Ok();
    }
    number = IndexPage::Child(p.entries.back());
  }
  return Status::Corruption(PageWhere(step->number) + ": tail chain too deep");
}

Status NewIndexPage(Pager& pager, std::vector<std::uint32_t>* allocated, std::uint32_t* number) {
  JET_RETURN_IF_ERROR(pager.Allocate(number));
  allocated->push_back(*number);
  return Status::Ok();
}

// Splits an overfull page in two halves by bytes; `left` gets the first.
void Halve(IndexPage* page, IndexPage* left) {
  const std::size_t total = EntryBytes(*page);
  std::size_t bytes = 0, cut = 0;
  while (cut + 1 < page->entries.size() && bytes + page->entries[cut].size() <= total / 2) {
    bytes += page->entries[cut].size();
    ++cut;
  }
  if (cut == 0) cut = 1;
  left->type = page->type;
  left->tdef_page = page->tdef_page;
  left->tail = 0;
  left->entries.assign(page->entries.begin(), page->entries.begin() + static_cast<std::ptrdiff_t>(cut));
  page->entries.erase(page->entries.begin(), page->entries.begin() + static_cast<std::ptrdiff_t>(cut));
}

// Writes the pages of `path` from the leaf up after the leaf changed:
// splits what overflows, keeps each parent entry equal to its child's last
// entry.  Stops as soon as a level is unchanged.
Status Propagate(Pager& pager, std::vector<Step>* path, std::vector<std::uint32_t>* allocated) {
  const std::uint32_t page_size = pager.page_size();
  for (int level = static_cast<int>(path->size()) - 1; level >= 0; --level) {
    Step& step = (*path)[level];
    bool split = false;
    IndexPage left;
    std::uint32_t left_number = 0;
    if (!Fits(step.page, page_size)) {
      if (!step.page.leaf()) JET_RETURN_IF_ERROR(AbsorbTail(pager, &step));
      if (level == 0) {
        // The root keeps its page number (the table definition points at
        // it): its entries move to two new pages below it.
        IndexPage right = step.page;
        Halve(&right, &left);
        std::uint32_t right_number;
        JET_RETURN_IF_ERROR(NewIndexPage(pager, allocated, &left_number));
        JET_RETURN_IF_ERROR(NewIndexPage(pager, allocated, &right_number));
        left.prev = 0;
        left.next = right_number;
        right.prev = left_number;
        right.next = 0;
        JET_RETURN_IF_ERROR(WriteIndexPage(pager, left_number, left));
        JET_RETURN_IF_ERROR(WriteIndexPage(pager, right_number, right));
        IndexPage root;
        root.type = kIndexNodePage;
        root.tdef_page = step.page.tdef_page;
        root.entries.push_back(NodeEntry(MaxOf(left), left_number));
        root.entries.push_back(NodeEntry(MaxOf(right), right_number));
        return WriteIndexPage(pager, step.number, root);
      }
      Halve(&step.page, &left);
      JET_RETURN_IF_ERROR(NewIndexPage(pager, allocated, &left_number));
      left.prev = step.page.prev;
      left.next = step.number;
      if (step.page.prev != 0) {
        IndexPage before;
        JET_RETURN_IF_ERROR(ReadIndexPage(pager, step.page.prev, &before));
        before.next = left_number;
        JET_RETURN_IF_ERROR(WriteIndexPage(pager, step.page.prev, before));
      }
      step.page.prev = left_number;
      JET_RETURN_IF_ERROR(WriteIndexPage(pager, left_number, left));
      split = true;
    }
    JET_RETURN_IF_ERROR(WriteIndexPage(pager, step.number, step.page));
    if (level == 0) return Status::Ok();

    Step& parent = (*path)[level - 1];
    bool parent_changed = split;
    if (parent.child == -1 && (split || !step.page.entries.empty())) {
      // The tail child changed its end or split: it becomes an entry.
      JET_RETURN_IF_ERROR(AbsorbTail(pager, &parent));
      parent_changed = true;
    }
    if (parent.child >= 0 && !step.page.entries.empty()) {
      std::vector<std::uint8_t> entry = NodeEntry(MaxOf(step.page), step.number);
      if (parent.page.entries[parent.child] != entry) {
        parent.page.entries[parent.child] = std::move(entry);
        parent_changed = true;
      }
    }
    if (split) {
      parent.page.entries.insert(parent.page.entries.begin() + parent.child, NodeEntry(MaxOf(left), left_number));
    }
    if (!parent_changed) return Status::Ok();
  }
  return Status::Ok();
}

}  // namespace

std::uint32_t IndexPage::Child(const std::vector<std::uint8_t>& entry) {
  const std::uint8_t* p = entry.data() + entry.size() - 4;
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::uint32_t IndexPageCapacity(std::uint32_t page_size) { return page_size - kIndexEntriesStart; }

Status ParseIndexPage(const std::vector<std::uint8_t>& bytes, std::uint32_t number, IndexPage* page) {
  const std::string where = PageWhere(number);
  if (bytes.size() < 2048 || bytes.size() <= kIndexEntriesStart) return Status::Corruption(where + ": short page");
  if (bytes[0] != kIndexLeafPage && bytes[0] != kIndexNodePage) {
    return Status::Corruption(where + ": page type " + std::to_string(bytes[0]) + " is not an index page");
  }
  IndexPage p;
  p.type = bytes[0];
  const std::uint32_t free = Get16(&bytes[2]);
  p.tdef_page = Get32(&bytes[4]);
  p.prev = Get32(&bytes[0x0C]);
  p.next = Get32(&bytes[0x10]);
  p.tail = Get32(&bytes[0x14]);
  const std::uint32_t prefix = Get16(&bytes[0x18]);
  if (free > IndexPageCapacity(static_cast<std::uint32_t>(bytes.size()))) {
    return Status::Corruption(where + ": free space " + std::to_string(free) + " larger than the entry area");
  }
  const std::uint32_t end = static_cast<std::uint32_t>(bytes.size()) - free;
  std::vector<std::uint32_t> starts;
  if (end > kIndexEntriesStart) starts.push_back(kIndexEntriesStart);
  for (std::uint32_t pos = kIndexEntriesStart + 1; pos < end; ++pos) {
    const std::uint32_t bit = pos - kIndexEntriesStart;
    if (bytes[kBitmapStart + bit / 8] >> (bit % 8) & 1) starts.push_back(pos);
  }
  const std::size_t minimum = p.leaf() ? 1 + kPointerBytes : 1 + kPointerBytes + 4;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::uint32_t a = starts[i], b = i + 1 < starts.size() ? starts[i + 1] : end;
    std::vector<std::uint8_t> entry;
    if (i > 0 && prefix > 0) {
      if (prefix > p.entries[0].size()) {
        return Status::Corruption(where + ": prefix length " + std::to_string(prefix) + " longer than the first entry");
      }
      entry.assign(p.entries[0].begin(), p.entries[0].begin() + prefix);
    }
    entry.insert(entry.end(), bytes.begin() + a, bytes.begin() + b);
    if (entry.size() < minimum) {
      return Status::Corruption(where + ": entry " + std::to_string(i) + " of " + std::to_string(entry.size()) +
                                " bytes is too short");
    }
    p.entries.push_back(std::move(entry));
  }
  *page = std::move(p);
  return Status::Ok();
}

bool BuildIndexPage(const IndexPage& page, std::uint32_t page_size, std::vector<std::uint8_t>* bytes) {
  if (!Fits(page, page_size)) return false;
  bytes->assign(page_size, 0);
  std::vector<std::uint8_t>& b = *bytes;
  b[0] = page.type;
  b[1] = 0x01;
  Put32(&b[4], page.tdef_page);
  Put32(&b[0x0C], page.prev);
  Put32(&b[0x10], page.next);
  Put32(&b[0x14], page.tail);
  std::uint32_t pos = kIndexEntriesStart;
  for (std::size_t i = 0; i < page.entries.size(); ++i) {
    if (i > 0) {
      const std::uint32_t bit = pos - kIndexEntriesStart;
      b[kBitmapStart + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    std::copy(page.entries[i].begin(), page.entries[i].end(), b.begin() + pos);
    pos += static_cast<std::uint32_t>(page.entries[i].size());
  }
  if (!page.entries.empty()) {  // Access marks where the last entry ends, too
    const std::uint32_t bit = pos - kIndexEntriesStart;
    b[kBitmapStart + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
  }
  Put16(&b[2], static_cast<std::uint16_t>(page_size - pos));
  return true;
}

std::vector<std::uint8_t> LeafEntry(const std::vector<std::uint8_t>& key, RowId id) {
  std::vector<std::uint8_t> e = key;
  e.push_back(static_cast<std::uint8_t>(id.page >> 16));
  e.push_back(static_cast<std::uint8_t>(id.page >> 8));
  e.push_back(static_cast<std::uint8_t>(id.page));
  e.push_back(static_cast<std::uint8_t>(id.row));
  return e;
}

RowId EntryRow(const std::vector<std::uint8_t>& e) {
  const std::uint8_t* p = e.data() + e.size() - 4;
  return RowId{(std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2], p[3]};
}

Status ReadIndexEntries(Pager& pager, std::uint32_t root, std::vector<std::vector<std::uint8_t>>* entries,
                        std::vector<std::uint32_t>* pages) {
  entries->clear();
  std::set<std::uint32_t> seen;
  // Depth-first, children in entry order, then the tail.
  struct Frame {
    std::uint32_t number;
    int depth;
  };
  std::vector<Frame> stack{{root, 0}};
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    if (f.depth > kMaxDepth) return Status::Corruption(PageWhere(root) + ": index tree too deep");
    if (!seen.insert(f.number).second) {
      return Status::Corruption(PageWhere(f.number) + ": reached twice in the index tree of page " + std::to_string(root));
    }
    if (pages) pages->push_back(f.number);
    IndexPage page;
    JET_RETURN_IF_ERROR(ReadIndexPage(pager, f.number, &page));
    if (page.leaf()) {
      for (auto& e : page.entries) {
        if (!entries->empty() && Compare(entries->back().data(), entries->back().size(), e.data(), e.size()) >= 0) {
          return Status::Corruption(PageWhere(f.number) + ": index entries out of order");
        }
        entries->push_back(std::move(e));
      }
      continue;
    }
    if (page.tail != 0) stack.push_back({page.tail, f.depth + 1});
    for (auto it = page.entries.rbegin(); it != page.entries.rend(); ++it) {
      std::uint32_t child = IndexPage::Child(*it);
      if (child == page.tail) continue;
      stack.push_back({child, f.depth + 1});
    }
  }
  return Status::Ok();
}

Status InsertIndexEntry(Pager& pager, const TableDef& table, std::uint32_t root, std::vector<std::uint8_t> entry,
                        std::vector<std::uint32_t>* allocated) {
  (void)table;
  std::vector<Step> path;
  JET_RETURN_IF_ERROR(Descend(pager, root, entry, &path));
  auto& leaf = path.back().page.entries;
  auto at = std::lower_bound(leaf.begin(), leaf.end(), entry, [](const auto& a, const auto& b) {
    return Compare(a.data(), a.size(), b.data(), b.size()) < 0;
  });
  if (at != leaf.end() && *at == entry) {
    return Status::Corruption(PageWhere(path.back().number) + ": the index already holds this row's entry");
  }
  leaf.insert(at, std::move(entry));
  return Propagate(pager, &path, allocated);
}

Status RemoveIndexEntry(Pager& pager, std::uint32_t root, const std::vector<std::uint8_t>& entry,
                        std::vector<std::uint32_t>* allocated) {
  std::vector<Step> path;
  JET_RETURN_IF_ERROR(Descend(pager, root, entry, &path));
  auto& leaf = path.back().page.entries;
  auto at = std::find(leaf.begin(), leaf.end(), entry);
  if (at == leaf.end()) {
    return Status::Corruption(PageWhere(path.back().number) + ": the index has no entry for the row being removed");
  }
  leaf.erase(at);
  return Propagate(pager, &path, allocated);
}

namespace {

// The first leaf entry not below `target`, following the leaf chain past
// leaves emptied by deletes.
Status FirstAtLeast(Pager& pager, std::uint32_t root, const std::vector<std::uint8_t>& target, bool* found,
                    std::vector<std::uint8_t>* entry) {
  *found = false;
  std::vector<Step> path;
  JET_RETURN_IF_ERROR(Descend(pager, root, target, &path));
  IndexPage page = path.back().page;
  std::uint32_t number = path.back().number;
  for (int hops = 0; hops < 100000; ++hops) {
    for (const auto& e : page.entries) {
      if (Compare(e.data(), e.size(), target.data(), target.size()) >= 0) {
        *found = true;
        *entry = e;
        return Status::Ok();
      }
    }
    if (page.next == 0) return Status::Ok();
    number = page.next;
    JET_RETURN_IF_ERROR(ReadIndexPage(pager, number, &page));
    if (!page.leaf()) return Status::Corruption(PageWhere(number) + ": leaf chain leads to a non-leaf page");
  }
  return Status::Corruption(PageWhere(number) + ": leaf chain too long");
}

class PagerPages final : public PageSource {
 public:
  PagerPages(Pager& pager, int jet_version) : pager_(pager), jet_version_(jet_version) {}
  int jet_version() const override { return jet_version_; }
  std::uint32_t page_size() const override { return pager_.page_size(); }
  std::uint32_t page_count() const override { return pager_.page_count(); }
  Status ReadPage(std::uint32_t number, PageBytes* page) override { return pager_.Read(number, page); }
  Status WritePage(std::uint32_t number, std::vector<std::uint8_t> data) override {
    return pager_.Write(number, std::move(data));
  }
  Status AllocatePage(std::uint32_t* number) override { return pager_.Allocate(number); }

 private:
  Pager& pager_;
  int jet_version_;
};

std::string IndexName(const TableDef& table, std::size_t real) {
  for (const Index& i : table.indexes) {
    if (i.real_index == real) return i.name;
  }
  return "#" + std::to_string(real);
}

bool IsCatalog(const TableDef& table) { return table.tdef_page == 2; }

class Maintainer final : public IndexMaintainer {
 public:
  explicit Maintainer(Database& db) : db_(db) {}

  Status CanMaintain(const TableDef& table) override {
    if (db_.info().jet_version != 4) return Status::NotSupported("index upkeep of Jet 3 (Access 97) files");
    if (db_.info().encoded) return Status::NotSupported("index upkeep of encoded databases");
    for (std::size_t r = 0; r < table.real_indexes.size(); ++r) {
      for (const IndexColumn& c : table.real_indexes[r].columns) {
        if (c.column_position < 0 || static_cast<std::size_t>(c.column_position) >= table.columns.size()) {
          return Status::Corruption("table " + table.name + ": index " + IndexName(table, r) + " names a missing column");
        }
        const Column& col = table.columns[c.column_position];
        if (KeyTypeSupported(col.type)) continue;
        // The catalog's name index is kept for the names whose keys are
        // known (see OnInsert); nowhere else is a text key written.
        if (col.type == ColumnType::kText && IsCatalog(table)) continue;
        return Status::NotSupported("table " + table.name + " cannot be changed: its index " + IndexName(table, r) +
                                    " on column " + col.name + " has keys this engine cannot produce exactly as Access does");
      }
    }
    return Status::Ok();
  }

  Status OnInsert(const TableDef& table, RowId id, const Row& row) override {
    for (std::size_t r = 0; r < table.real_indexes.size(); ++r) {
      const RealIndex& index = table.real_indexes[r];
      std::vector<std::uint8_t> key;
      bool keyed = false;
      JET_RETURN_IF_ERROR(KeyFor(table, index, row, &key, &keyed));
      if (!keyed) continue;
      if (index.unique() && !KeyHasNull(table, index, row)) JET_RETURN_IF_ERROR(RefuseDuplicate(table, r, key));
      std::vector<std::uint32_t> allocated;
      JET_RETURN_IF_ERROR(InsertIndexEntry(db_.pager(), table, index.first_page, LeafEntry(key, id), &allocated));
      PagerPages pages(db_.pager(), 4);
      for (std::uint32_t page : allocated) JET_RETURN_IF_ERROR(UpdateUsageMap(pages, index.used_pages, page, true));
      JET_RETURN_IF_ERROR(AdjustCount(table, r, +1));
    }
    return Status::Ok();
  }

  Status OnDelete(const TableDef& table, RowId id, const Row& row) override {
    for (std::size_t r = 0; r < table.real_indexes.size(); ++r) {
      const RealIndex& index = table.real_indexes[r];
      std::vector<std::uint8_t> key;
      bool keyed = false;
      JET_RETURN_IF_ERROR(KeyFor(table, index, row, &key, &keyed));
      if (!keyed) continue;
      std::vector<std::uint32_t> allocated;
      JET_RETURN_IF_ERROR(RemoveIndexEntry(db_.pager(), index.first_page, LeafEntry(key, id), &allocated));
      PagerPages pages(db_.pager(), 4);
      for (std::uint32_t page : allocated) JET_RETURN_IF_ERROR(UpdateUsageMap(pages, index.used_pages, page, true));
      JET_RETURN_IF_ERROR(AdjustCount(table, r, -1));
    }
    return Status::Ok();
  }

 private:
  // *keyed false: the row has no entry in this index (ignore-nulls index
  // with every key column NULL, or a catalog name whose key is unknown).
  Status KeyFor(const TableDef& table, const RealIndex& index, const Row& row, std::vector<std::uint8_t>* key,
                bool* keyed) {
    *keyed = false;
    if (index.ignore_nulls() && KeyAllNull(table, index, row)) return Status::Ok();
    Status s = EncodeIndexKey(table, index, row, key);
    if (s.code() == Status::Code::kNotSupported && IsCatalog(table)) return Status::Ok();
    JET_RETURN_IF_ERROR(s);
    *keyed = true;
    return Status::Ok();
  }

  Status RefuseDuplicate(const TableDef& table, std::size_t r, const std::vector<std::uint8_t>& key) {
    std::vector<std::uint8_t> lowest = key;
    lowest.insert(lowest.end(), kPointerBytes, 0);
    bool found = false;
    std::vector<std::uint8_t> next;
    JET_RETURN_IF_ERROR(FirstAtLeast(db_.pager(), table.real_indexes[r].first_page, lowest, &found, &next));
    if (found && next.size() == key.size() + kPointerBytes && std::equal(key.begin(), key.end(), next.begin())) {
      return Status::InvalidArgument("duplicate value in the unique index " + IndexName(table, r) + " of table " +
                                     table.name);
    }
    return Status::Ok();
  }

  // The real-index entry counts on the tdef page follow Access's: one per
  // row with an entry.
  Status AdjustCount(const TableDef& table, std::size_t r, int delta) {
    PageBytes page;
    JET_RETURN_IF_ERROR(db_.pager().Read(table.tdef_page, &page));
    std::vector<std::uint8_t> bytes = *page;
    const std::size_t at = 0x3F + 12 * r + 4;
    if (at + 4 > bytes.size()) return Status::Corruption("table " + table.name + ": tdef page too short");
    std::uint32_t n = Get32(&bytes[at]);
    n = delta < 0 ? (n == 0 ? 0 : n - 1) : n + 1;
    Put32(&bytes[at], n);
    return db_.pager().Write(table.tdef_page, std::move(bytes));
  }

  Database& db_;
};

}  // namespace

Status MarkPageInMap(Pager& pager, RowId map, std::uint32_t page, bool in_use) {
  PagerPages pages(pager, 4);
  return UpdateUsageMap(pages, map, page, in_use);
}

std::unique_ptr<IndexMaintainer> NewIndexMaintainer(Database& db) { return std::make_unique<Maintainer>(db); }

void InstallIndexMaintainer(Database& db) { db.SetIndexMaintainer(NewIndexMaintainer(db)); }

Status FindRowsWithKey(Pager& pager, std::uint32_t root, const std::vector<std::uint8_t>& key,
                       std::vector<RowId>* rows) {
  rows->clear();
  std::vector<std::uint8_t> lowest = key;
  lowest.insert(lowest.end(), kPointerBytes, 0);
  std::vector<Step> path;
  JET_RETURN_IF_ERROR(Descend(pager, root, lowest, &path));
  IndexPage page = std::move(path.back().page);
  std::uint32_t number = path.back().number;
  // Leaves emptied by deletes stay in the chain; the chain cannot be longer
  // than the file.
  for (std::uint32_t hops = 0; hops <= pager.page_count(); ++hops) {
    for (const auto& e : page.entries) {
      if (Compare(e.data(), e.size(), lowest.data(), lowest.size()) < 0) continue;
      if (e.size() != lowest.size() || !std::equal(key.begin(), key.end(), e.begin())) return Status::Ok();
      rows->push_back(EntryRow(e));
    }
    if (page.next == 0) return Status::Ok();
    number = page.next;
    JET_RETURN_IF_ERROR(ReadIndexPage(pager, number, &page));
    if (!page.leaf()) return Status::Corruption(PageWhere(number) + ": leaf chain leads to a non-leaf page");
  }
  return Status::Corruption(PageWhere(number) + ": leaf chain loops");
}

}  // namespace jet
