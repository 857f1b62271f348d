#include "framework/Log.h"

void Trace(const char* /*funcName*/, int /*line*/, const char* /*format*/, ...) {}

const char* VSTOpcodeStr(int /*opCode*/) { return ""; }
const char* AUSelectStr(int /*select*/) { return ""; }
const char* AUPropertyStr(int /*propID*/) { return ""; }
const char* AUScopeStr(int /*scope*/) { return ""; }
