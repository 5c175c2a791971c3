// Linked into every test program of a thread-sanitizer build. The toolkit
// below the window layer (wxWidgets, GTK and the X and graphics libraries
// under it) is built without the sanitizer and runs threads of its own: what
// it allocates, frees and locks itself is left out of the checks, and lock
// reports inside it are not ours. Our own code, called back from the toolkit,
// is checked in full. Each name must match one library file. The graphics
// libraries also unlock their locks in their destructors at exit, which run
// from the dynamic loader. The codec libraries, built the same way, decode
// on threads of their own and hand their frames over through their own
// atomic reference counts: the same holds for them.
#define TOOLKIT(lib) "called_from_lib:" lib "\nmutex:" lib "\ndeadlock:" lib "\n"

extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions()
{
    // clang-format off
    return
        TOOLKIT("libwx_baseu-3.2.so")
        TOOLKIT("libwx_gtk3u_core-3.2.so")
        TOOLKIT("libgtk-3.so")
        TOOLKIT("libgdk-3.so")
        TOOLKIT("libgdk_pixbuf-2.0.so")
        TOOLKIT("libglib-2.0.so")
        TOOLKIT("libgobject-2.0.so")
        TOOLKIT("libgio-2.0.so")
        TOOLKIT("libgmodule-2.0.so")
        TOOLKIT("libdconfsettings.so")
        TOOLKIT("libpango-1.0.so")
        TOOLKIT("libpangocairo-1.0.so")
        TOOLKIT("libpangoft2-1.0.so")
        TOOLKIT("libcairo.so")
        TOOLKIT("libcairo-gobject.so")
        TOOLKIT("libpixman-1.so")
        TOOLKIT("libharfbuzz.so")
        TOOLKIT("libfontconfig.so")
        TOOLKIT("libfreetype.so")
        TOOLKIT("librsvg-2.so")
        TOOLKIT("libatk-1.0.so")
        TOOLKIT("libatk-bridge-2.0.so")
        TOOLKIT("libatspi.so")
        TOOLKIT("libdbus-1.so")
        TOOLKIT("libxkbcommon.so")
        TOOLKIT("libX11.so")
        TOOLKIT("libX11-xcb.so")
        TOOLKIT("libXext.so")
        TOOLKIT("libXi.so")
        TOOLKIT("libXrandr.so")
        TOOLKIT("libXtst.so")
        TOOLKIT("libXfixes.so")
        TOOLKIT("libXcursor.so")
        TOOLKIT("libXdamage.so")
        TOOLKIT("libXcomposite.so")
        TOOLKIT("libXinerama.so")
        TOOLKIT("libXrender.so")
        TOOLKIT("libxcb.so")
        TOOLKIT("libepoxy.so")
        TOOLKIT("libGL.so")
        TOOLKIT("libGLX.so")
        TOOLKIT("libGLX_mesa.so")
        TOOLKIT("libGLdispatch.so")
        TOOLKIT("libglapi.so")
        TOOLKIT("libEGL.so")
        TOOLKIT("libEGL_mesa.so")
        TOOLKIT("swrast_dri.so")
        TOOLKIT("libavcodec.so")
        TOOLKIT("libavutil.so")
        TOOLKIT("libswscale.so")
        "mutex:_dl_call_fini\n";
    // clang-format on
}
