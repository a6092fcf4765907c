// Collects the trace-log records written while it lives, without touching the
// shared trace-log file (tests run in parallel).
#pragma once
#include <cstdio>
#include <string>

#include "logs/TraceLog.h"

class TraceCapture {
public:
    TraceCapture() : m_file(tmpfile())
    {
        SetTraceFileEnabled(false);
        SetTraceEcho(m_file);
    }
    ~TraceCapture()
    {
        SetTraceEcho(nullptr);
        SetTraceFileEnabled(true);
        if (m_file)
            fclose(m_file);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::string Text() const
    {
        std::string text;
        if (!m_file)
            return "<no capture file>";
        fflush(m_file);
        long end = ftell(m_file);
        rewind(m_file);
        text.resize(static_cast<size_t>(end > 0 ? end : 0));
        if (!text.empty())
            text.resize(fread(&text[0], 1, text.size(), m_file));
        fseek(m_file, 0, SEEK_END);
        return text;
    }

private:
    FILE* m_file;
};
