#pragma once
// What the virtual-table modules the reader knows (fts3, fts4, fts5, rtree,
// rtree_i32) make of a CREATE VIRTUAL TABLE statement's arguments: the
// columns SELECT * gives, in its order, and where the module keeps the rows.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fq {

enum class VirtualModule { Unknown, Fts3, Fts4, Fts5, Rtree, RtreeInt32 };

// Where a full-text table's column values are.
enum class FtsContent {
  Own,       // its own <name>_content table
  External,  // the table named by content=
  None,      // contentless (content=""): only the index knows the words
};

struct VirtualTableLayout {
  VirtualModule module = VirtualModule::Unknown;
  std::vector<std::string> columns;  // declared names, unquoted, in SELECT * order
  FtsContent content = FtsContent::Own;
  std::string contentTable;  // the content= table when External
  bool descending = false;   // fts4 order=desc: a full scan runs from the highest docid down
  int32_t coordinates = 0;   // rtree: two per dimension, after the id column
  int32_t auxiliary = 0;     // rtree: the columns declared with a leading '+', last
};

// The layout `module` (any case) gives a table declared with `arguments` (each
// as written between the commas, trimmed); Unknown, with no columns, for a
// module the reader does not know or arguments the module would refuse.
VirtualTableLayout LayoutOfVirtualTable(std::string_view module, const std::vector<std::string>& arguments);

}  // namespace fq
