// Included by exactly one source of each test program (it defines the function).
#pragma once

// Qt and fontconfig keep process-lifetime caches that LeakSanitizer reports at exit; only
// those libraries are silenced, never our own code.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libQt6Gui.so\n"
         "leak:libQt6Core.so\n"
         "leak:libQt6Widgets.so\n"
         "leak:libdbus-1.so\n"
         "leak:libglib-2.0.so\n";
}
