#pragma once
// The print page: the ticked records of one category as blocks of labelled
// lines between the head and tail of "template/Print.html". The print window
// builds it in memory on a worker thread; nothing is kept between prints.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/session/ScanResults.h"
#include "output/CStatisticsObj.h"
#include "output/ItemKind.h"
#include "output/ReportTemplates.h"

namespace fq {

// The print template split at its first "{|content|}"; head and tail stay empty
// when the file cannot be read or has no "{|content|}".
ReportTemplate LoadPrintTemplate(const std::filesystem::path& templateFile);

// The five record categories print; the file categories have nothing to print.
bool CanPrint(ItemKind category);
inline bool CanPrint(ScanCategory category) { return CanPrint(ItemKindOf(category)); }

// The blocks of the records of `category` that are selected in `statistics`
// (only the deleted ones when `deletedOnly`, the node's "D" filter state: a
// conversation or chat when any of its messages is, printed with those), in
// list order, each record text escaped. `cancelled` is asked before each record
// and each message. Returns 0, kCancelled (content left empty), or kInvalid for
// a category that holds no records (nothing built).
int32_t BuildPrintContent(ItemKind category, bool deletedOnly, const ScanResults& results,
                          const CStatisticsObj& statistics, const std::function<bool()>& cancelled,
                          std::string& content);

// Head, content and tail into `path`, replacing the old page; 0 or errno.
int32_t WritePrintPage(const std::filesystem::path& path, const ReportTemplate& page,
                       const std::string& content);

}  // namespace fq
