// The trace log "TornelixSetupLog.txt" in the temporary directory: diagnostics
// of the parameter handling and the format engine, each record followed by a
// time stamp. Written in binary mode, opened and closed around every record.
#pragma once
#include <cstdio>
#include <string>

#include "platform/StringUtil.h"

void AppendTraceLog(const std::string& text);
void TraceMessage(const char* format, ...) TLX_PRINTF(1, 2);

// Full path of the trace log file.
std::string TraceLogPath();

// Tools also want the records on a stream (stderr); nullptr turns that off.
void SetTraceEcho(FILE* stream);
// Tools that must leave no file behind can turn the file off.
void SetTraceFileEnabled(bool enabled);

// The record's time stamp: "  h:m:s y/m/d \r\n" without padding.
std::string TraceTimeStamp(int hour, int minute, int second, int year, int month, int day);
