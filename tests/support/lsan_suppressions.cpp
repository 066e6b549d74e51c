// Leak reports the GUI tests must not fail on. Each names a library outside
// this tree that keeps process-lifetime allocations it never frees; nothing of
// ours is suppressed.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
  return "";
}
