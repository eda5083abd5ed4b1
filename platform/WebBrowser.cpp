// GIO only: no Qt header here, since GIO's headers use "signals" as a name.
#include "platform/WebBrowser.h"

#include <gio/gio.h>

namespace platform {

bool WebBrowser::OpenUri(const std::string& uri)
{
    g_autoptr(GAppInfo) browser = g_app_info_get_default_for_type("text/html", FALSE);
    if (browser == nullptr) return false;
    GList uris = {const_cast<char*>(uri.c_str()), nullptr, nullptr};
    // An application that takes only file names gets the path, without the
    // fragment: the page still opens, at its top.
    return g_app_info_launch_uris(browser, &uris, nullptr, nullptr) != FALSE;
}

}  // namespace platform
