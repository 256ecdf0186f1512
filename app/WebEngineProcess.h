#pragma once

// Settings the web engine reads once, before the application object exists:
// shared OpenGL contexts always; no Chromium sandbox for root, which it refuses
// to start; and with `headless` (tests, benchmarks) the offscreen platform and
// no GPU unless the environment already says otherwise.
void prepareWebEngineProcess(bool headless);
