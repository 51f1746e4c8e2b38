#pragma once
// The report a crash leaves behind: "D-Error/<y>-<m>-<d>&<h>-<m>-<s>.dmp" under
// the folder that was current at start, holding the cause and a backtrace.
// Written from signal handlers, so only async-signal-safe calls are used.
#include <ctime>
#include <string>

namespace fq::app {

// Installs handlers for fatal signals and std::terminate.
void InstallCrashReport();
// Writes a report naming `cause` (for example the handler an exception left)
// and returns without ending the process. Safe inside a signal handler.
void WriteCrashReport(const char* cause);
// The report's file name for a local time: "2014-5-3&9-7-41.dmp".
std::string CrashReportName(const std::tm& local);

}  // namespace fq::app
