// Linked into every test program of an address-sanitizer build. The font
// library and the toolkit below the window layer keep caches and one-time
// allocations until the process ends; leak reports whose stacks run through
// them are not ours. Our own libraries are never listed.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libgio-2.0.so\n"
           "leak:libgdk-3.so\n"
           "leak:libgtk-3.so\n"
           "leak:libpango-1.0.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libdbus-1.so\n"
           "leak:libatk-bridge-2.0.so\n";
}
