#pragma once

// For benchmarks that start Tandrel next to another program: private data, configuration,
// cache and runtime folders (so no user data is read and no running instance answers),
// and the X server named by DISPLAY.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <sys/stat.h>

// Makes the folders under a new temporary folder and points the XDG variables at them;
// the temporary folder, to remove afterwards, or nothing when it could not be made.
inline std::optional<std::string> usePrivateDesktopFolders()
{
    char folder[] = "/tmp/tandrel-bench-XXXXXX";
    if (!mkdtemp(folder))
        return std::nullopt;
    const std::string base = folder;
    for (const char* sub : { "/data", "/config", "/cache", "/run" })
        mkdir((base + sub).c_str(), 0700);
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (base + "/run").c_str(), 1);
    return base;
}

// The display's connection, or null (with a message) when there is no X server.
inline xcb_connection_t* connectToDisplay()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server (DISPLAY)\n");
        xcb_disconnect(c);
        return nullptr;
    }
    return c;
}
