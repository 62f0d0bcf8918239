#pragma once
// The main window for logic tests: controls in memory, log, statuses and boxes recorded.
#include "app/MemoryMainWindow.h"
#include "platform/testing/ScriptedWindow.h"

class ScriptedMainWindow final : public fw::ScriptedWindowOps<MemoryMainWindow> {};
