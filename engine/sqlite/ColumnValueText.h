#pragma once
// One column value as text, the way SQL spells a literal: NULL, an integer,
// a real with every digit it needs, 'text' and x'hex' for a blob.
#include <string>
#include <string_view>

#include "engine/sqlite/ColumnValues.h"

namespace fq {

// Lower-case hexadecimal digits of `bytes`, two per byte.
std::string HexText(std::string_view bytes);

// `value` as a literal. Text is quoted as it is stored (quotes inside are not
// doubled): the dump shows the bytes, not a statement to run.
std::string ColumnValueText(const ColumnValue& value);

}  // namespace fq
