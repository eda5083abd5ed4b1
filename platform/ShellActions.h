#pragma once

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
    bool trashed = false;   // the path is gone from where it was
    std::string reason;     // why not, as GIO says it (UTF-8), when not trashed
};

// The desktop's actions on files, through GIO. Paths are raw bytes. UI thread.
class ShellActions {
public:
    // Opens path with its default application. Returns > 32 on success,
    // kLaunchNoApplication, kLaunchAccessDenied, or kLaunchFailed.
    static int LaunchDefault(const std::string& path, const std::string& workingDirectory);
    // Opens a folder in the default file manager; the same results.
    static int Explore(const std::string& folder);
    // Moves each path to the Trash (the home Trash or its volume's own) and
    // tells per path whether it went. Nothing is ever deleted permanently: a
    // path that cannot be trashed stays where it is.
    static std::vector<TrashOutcome> MoveToTrash(const std::vector<std::string>& paths);
};

}  // namespace platform
