#pragma once
// The record an escaped error leaves in the error log: its message, then one
// line per frame of the call-stack trace, outermost first, each frame as
// Name(param=value; ...). Writing it empties the trace.

#include <string>

class TMAVCallStack;
class TMAVLogFile;

// The frames as lines, outermost first, each ended by CR LF; pops them all.
std::string TakeTrail(TMAVCallStack& stack);
// Writes the message and the trail as one record.
void LogException(const std::string& message, TMAVCallStack& stack, TMAVLogFile& log);
// The same for the process-wide trace and error log.
void LogException(const std::string& message);
