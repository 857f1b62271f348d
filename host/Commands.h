// The commands of quillbar-tremolo. Each returns the process exit status:
// 0 success, 1 a file or the plug-in failed, 2 a usage error or an unknown
// preset or parameter name. Messages go to stderr as one line each, prefixed
// "quillbar-tremolo: ".
#pragma once

#include <string>

#include "host/Options.h"

int RunRender(const RenderOptions& options);
int RunInfo(const InfoOptions& options);
int RunSnapshot(const SnapshotOptions& options);
int RunDemo(const DemoOptions& options);

// Prints "quillbar-tremolo: <message>" to stderr.
void ReportError(const std::string& message);
// Prints "quillbar-tremolo: warning: <message>" to stderr.
void ReportWarning(const std::string& message);
