// What the log writer needs from the platform: the time, the process and the file.
#pragma once
#include <cstddef>

#include "log/log.h"

void LogPlatformStamp(LogStamp* stamp);

// Appends one finished line to the log named by `configuredPath` (or to its fallback).
void LogPlatformAppend(const char* configuredPath, const char* line, size_t length);

// Native builds only: a function that receives every finished line instead of the file.
using LogLineObserver = void (*)(const char* line, size_t length);
void SetLogLineObserver(LogLineObserver observer);
