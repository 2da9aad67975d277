// fontconfig keeps its configuration cache until the process ends; the leak
// checker would report it at exit of every run that laid out device text.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
