#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Launch results, in the form the callers test them.
inline constexpr int kLaunchNoApplication = 31;
inline constexpr int kLaunchAccessDenied = 5;
inline constexpr int kLaunchFailed = 0;
inline constexpr int kLaunchSucceeded = 33;  // any result above 32 is success

struct TrashOutcome {
    std::string path;
    bool trashed = false;  // the path is gone from where it was
    std::string reason;    // why not, as GIO says it (UTF-8), when not trashed
};

// The desktop's actions on files, through GIO: the default application of a
// file's MIME type (mimeapps.list, .desktop files) and the freedesktop.org
// Trash. Paths are raw bytes. UI thread, but for MoveOneToTrash.
class ShellActions {
public:
    // Opens path with the default application of its type. A relative path
    // is taken relative to workingDirectory (the current directory when that
    // is empty); the application itself is started in the program's own
    // current directory. Returns kLaunchSucceeded (> 32) once the
    // application has been started, kLaunchAccessDenied when the user may not
    // read the file, kLaunchNoApplication when no application is registered
    // for its type, and kLaunchFailed for any other failure (the file does
    // not exist, the application cannot be started).
    [[nodiscard]] static int LaunchDefault(const std::string& path,
                                           const std::string& workingDirectory);
    // Opens an absolute folder path in the default file manager (the default
    // application of inode/directory); the same results, with
    // kLaunchAccessDenied when the user may not list or enter the folder.
    [[nodiscard]] static int Explore(const std::string& folder);
    // Moves each path to the Trash (the home Trash or its volume's own) and
    // tells per path, in the order given, whether it went. A folder goes
    // whole. Nothing is ever deleted permanently: a path that cannot be
    // trashed stays where it is. Only absolute paths without "." or ".."
    // components are taken, so that a path never names something other than
    // what its text shows.
    [[nodiscard]] static std::vector<TrashOutcome> MoveToTrash(
        const std::vector<std::string>& paths);
    // One path, as MoveToTrash moves it, on any thread. cancellable is a
    // GCancellable or null: once cancelled, a move not yet begun by GIO
    // does not happen. For tests, the hook is called with the path right
    // before each move, on the moving thread.
    [[nodiscard]] static TrashOutcome MoveOneToTrash(const std::string& path, void* cancellable);
    // Set and cleared while no move is under way.
    static void SetTrashHookForTesting(std::function<void(const std::string&)> hook);
};

}  // namespace platform
