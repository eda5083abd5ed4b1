// GIO only: no Qt header here, since GIO's headers use "signals" as a name.
#include "platform/ShellActions.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace platform {

namespace {

bool HasNulByte(const std::string& path) { return path.find('\0') != std::string::npos; }

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

// GIO resolves "." and ".." by the text of the path, not through the file
// system: "/a/link/.." would become "/a", not the parent of the link's target.
bool HasDotComponent(std::string_view path)
{
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view component = path.substr(0, slash);
        if (component == "." || component == "..") {
            return true;
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    return false;
}

// The user may not use path as asked (mode as for access()). A path that
// does not exist is not a denial: the launch reports it as a failure.
bool AccessDenied(const std::string& path, int mode)
{
    if (access(path.c_str(), mode) == 0) {
        return false;
    }
    return errno == EACCES || errno == EPERM;
}

// Starts the default application for an absolute path. When no installed
// application handles the file's MIME type, GIO fails with
// G_IO_ERROR_NOT_SUPPORTED ("No application is registered as handling this
// file"); a missing file gives G_IO_ERROR_NOT_FOUND, and a handler that
// cannot be started a G_SPAWN_ERROR.
int LaunchAbsolute(const std::string& path)
{
    g_autoptr(GError) error = nullptr;
    // The URI escapes "#", "%", blanks and bytes that are not UTF-8, and the
    // application's %f gets back the path's exact bytes.
    g_autofree char* uri = g_filename_to_uri(path.c_str(), nullptr, &error);
    if (uri == nullptr) {
        return kLaunchFailed;
    }
    if (g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
        return kLaunchSucceeded;
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED)) {
        return kLaunchNoApplication;
    }
    return kLaunchFailed;
}

std::string ResolveAgainst(const std::string& path, const std::string& workingDirectory)
{
    if (IsAbsolute(path)) {
        return path;
    }
    std::string base = workingDirectory;
    if (!IsAbsolute(base)) {
        g_autofree char* current = g_get_current_dir();
        base = current;
    }
    if (base.back() != '/') {
        base += '/';
    }
    return base + path;
}

std::function<void(const std::string&)>& TrashHook()
{
    static std::function<void(const std::string&)> hook;
    return hook;
}

}  // namespace

int ShellActions::LaunchDefault(const std::string& path, const std::string& workingDirectory)
{
    if (path.empty() || HasNulByte(path) || HasNulByte(workingDirectory)) {
        return kLaunchFailed;
    }
    const std::string absolute = ResolveAgainst(path, workingDirectory);
    if (AccessDenied(absolute, R_OK)) {
        return kLaunchAccessDenied;
    }
    return LaunchAbsolute(absolute);
}

int ShellActions::Explore(const std::string& folder)
{
    if (!IsAbsolute(folder) || HasNulByte(folder)) {
        return kLaunchFailed;
    }
    if (AccessDenied(folder, R_OK | X_OK)) {
        return kLaunchAccessDenied;
    }
    return LaunchAbsolute(folder);
}

std::vector<TrashOutcome> ShellActions::MoveToTrash(const std::vector<std::string>& paths)
{
    std::vector<TrashOutcome> outcomes;
    outcomes.reserve(paths.size());
    for (const std::string& path : paths) {
        outcomes.push_back(MoveOneToTrash(path, nullptr));
    }
    return outcomes;
}

TrashOutcome ShellActions::MoveOneToTrash(const std::string& path, void* cancellable)
{
    TrashOutcome outcome;
    outcome.path = path;
    // GIO would take an empty or relative path against the current
    // directory: never guess what is meant to go.
    if (!IsAbsolute(path) || HasNulByte(path)) {
        outcome.reason = "Not an absolute path.";
        return outcome;
    }
    if (HasDotComponent(path)) {
        outcome.reason = "The path has a \".\" or \"..\" component.";
        return outcome;
    }
    if (TrashHook()) {
        TrashHook()(path);
    }
    g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
    g_autoptr(GError) error = nullptr;
    if (g_file_trash(file, static_cast<GCancellable*>(cancellable), &error)) {
        outcome.trashed = true;
    } else {
        outcome.reason = error != nullptr ? error->message : "The file was not moved to the Trash.";
    }
    return outcome;
}

void ShellActions::SetTrashHookForTesting(std::function<void(const std::string&)> hook)
{
    TrashHook() = std::move(hook);
}

}  // namespace platform
