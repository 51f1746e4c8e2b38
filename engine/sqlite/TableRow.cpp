#include "engine/sqlite/TableRow.h"

namespace fq {

std::string_view rowSourceName(RowSource source) {
  switch (source) {
    case RowSource::BTree:
      return "btree";
    case RowSource::FreePage:
      return "freepage";
    case RowSource::FreeBlock:
      return "freeblock";
    case RowSource::Tail:
      return "tail";
    case RowSource::Gap:
      return "gap";
    case RowSource::Stale:
      return "stale";
  }
  return "btree";
}

}  // namespace fq
