// Message boxes of the engine, in the tool: the text goes to stderr and the
// box answers OK, so that no command ever waits for a user.
#pragma once
#include <cstdio>

#include "platform/MessageBox.h"
#include "platform/TerminalText.h"

inline void AnswerMessagesOnStderr()
{
    SetMessageHandler([](const std::string& text, unsigned) {
        WriteTerminalText(stderr, text + "\n");
        return IDOK;
    });
}
