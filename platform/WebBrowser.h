#pragma once

#include <string>

namespace platform {

// Opens a page in the user's web browser. UI thread.
class WebBrowser {
public:
    // Hands uri, fragment included, to the desktop's default application for
    // HTML pages. Opening a file: URI through the desktop's generic opener
    // would turn it into a path and lose the "#anchor"; a browser given the
    // URI itself keeps it. Returns false when there is no such application
    // or it could not be started.
    static bool OpenUri(const std::string& uri);
};

}  // namespace platform
