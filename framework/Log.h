// Trace points. Tracing is off in this system: Trace evaluates its
// arguments and writes nothing, and the helpers that name selectors,
// properties, scopes and opcodes for it return "". The points stay in the
// code so a debugging build can route them somewhere without touching the
// callers.
#pragma once

// A trace point: calling function, line, printf format and arguments.
// Writes nothing.
void Trace(const char* funcName, int line, const char* format, ...)
#if defined(__GNUC__)
  __attribute__((format(printf, 3, 4)))
#endif
  ;

#define TRACE_POINT(...) Trace(__FUNCTION__, __LINE__, __VA_ARGS__)

// Names for trace output; all return "" while tracing is off.
const char* VSTOpcodeStr(int opCode);
const char* AUSelectStr(int select);
const char* AUPropertyStr(int propID);
const char* AUScopeStr(int scope);
