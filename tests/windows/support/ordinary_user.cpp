// The ordinary user beside the elevated program, as a native Linux process in the
// prefix's file system: it watches folders that a user can write (inotify sees the
// program's files as they come and go) and swaps, replaces or plants while the
// program runs, as fast as a user's process on Windows could. The scenario tests
// start it from Windows code with Unix paths; it writes READY_FILE once its watches
// are set and REPORT_FILE (what it did) before it ends.
//
//   ordinary_user READY REPORT swap-after-deletions FOLDER TARGET COUNT
//       after COUNT deletions in FOLDER: FOLDER moved to FOLDER.moved, a link to
//       TARGET made in its place
//   ordinary_user READY REPORT swap-when-made PARENT TARGET NAME
//       as soon as PARENT/NAME is made: moved to NAME.moved, a link to TARGET
//       made in its place
//   ordinary_user READY REPORT replace-programs FOLDER REPLACEMENT
//       every program (*.exe) written in a new folder of FOLDER is replaced by
//       a copy of REPLACEMENT as soon as it is closed
//   ordinary_user READY REPORT keep-adding FOLDER
//       files that sort first are added to FOLDER without pause
// Every mode ends when READY is deleted, or after a minute. It never holds the
// output of whoever started it, which would wait for it.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <poll.h>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kGiveUpAfter = std::chrono::seconds(60);

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path + ".part", std::ios::trunc);
    out << text;
    out.close();
    return out && std::rename((path + ".part").c_str(), path.c_str()) == 0;
}

bool Exists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to + ".swap", std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    out.close();
    return in && out && std::rename((to + ".swap").c_str(), to.c_str()) == 0;
}

// Moves the folder away and leaves a link to target under its name.
bool SwapForLink(const std::string& folder, const std::string& target) {
    return std::rename(folder.c_str(), (folder + ".moved").c_str()) == 0 &&
           symlink(target.c_str(), folder.c_str()) == 0;
}

class Watcher {
  public:
    Watcher() : fd_(inotify_init1(IN_NONBLOCK)) {}
    ~Watcher() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    int Add(const std::string& folder, uint32_t mask) {
        const int watch = inotify_add_watch(fd_, folder.c_str(), mask);
        if (watch >= 0) {
            folders_[watch] = folder;
        }
        return watch;
    }
    const std::string& FolderOf(int watch) { return folders_[watch]; }

    // Calls handle(event) for each event until it returns false, the ready file
    // goes or time runs out; false when it stopped for one of the last two.
    template <typename Handle> bool Run(const std::string& ready, Handle handle) {
        const auto deadline = Clock::now() + kGiveUpAfter;
        alignas(inotify_event) char buffer[64 * 1024];
        while (Clock::now() < deadline && Exists(ready)) {
            pollfd events = {fd_, POLLIN, 0};
            if (poll(&events, 1, 200) <= 0) {
                continue;
            }
            const ssize_t length = read(fd_, buffer, sizeof(buffer));
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (!handle(*event)) {
                    return true;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return false;
    }

  private:
    int fd_;
    std::map<int, std::string> folders_;
};

int SwapAfterDeletions(const std::string& ready, const std::string& report,
                       const std::string& folder, const std::string& target, int count) {
    Watcher watcher;
    if (watcher.Add(folder, IN_DELETE) < 0 || !WriteText(ready, "ready\n")) {
        return 2;
    }
    int deletions = 0;
    bool swapped = false;
    watcher.Run(ready, [&](const inotify_event&) {
        if (++deletions < count) {
            return true;
        }
        swapped = SwapForLink(folder, target);
        return false;
    });
    WriteText(report, swapped ? "swapped after " + std::to_string(deletions) + " deletions\n"
                              : "not swapped, " + std::to_string(deletions) + " deletions\n");
    return 0;
}

int SwapWhenMade(const std::string& ready, const std::string& report, const std::string& parent,
                 const std::string& target, const std::string& name) {
    Watcher watcher;
    if (watcher.Add(parent, IN_CREATE | IN_MOVED_TO) < 0 || !WriteText(ready, "ready\n")) {
        return 2;
    }
    bool swapped = false;
    std::string seen;
    watcher.Run(ready, [&](const inotify_event& event) {
        if (event.len == 0 || name != event.name) {
            seen += event.len != 0 ? std::string(" ") + event.name : " (unnamed)";
            return true;
        }
        swapped = SwapForLink(parent + "/" + name, target);
        return false;
    });
    WriteText(report, swapped ? "swapped\n" : "not swapped; seen:" + seen + "\n");
    return 0;
}

bool IsProgramName(const char* name) {
    const size_t length = std::strlen(name);
    return length > 4 && strcasecmp(name + length - 4, ".exe") == 0;
}

int ReplacePrograms(const std::string& ready, const std::string& report, const std::string& folder,
                    const std::string& replacement) {
    Watcher watcher;
    if (watcher.Add(folder, IN_CREATE) < 0 || !WriteText(ready, "ready\n")) {
        return 2;
    }
    std::string done;
    watcher.Run(ready, [&](const inotify_event& event) {
        if (event.len == 0) {
            return true;
        }
        const std::string path = watcher.FolderOf(event.wd) + "/" + event.name;
        if ((event.mask & IN_ISDIR) != 0 && (event.mask & IN_CREATE) != 0) {
            watcher.Add(path, IN_CLOSE_WRITE);
        } else if ((event.mask & IN_CLOSE_WRITE) != 0 && IsProgramName(event.name) &&
                   CopyFile(replacement, path)) {
            done += "replaced " + path + "\n";
        }
        return true;
    });
    WriteText(report, done.empty() ? "nothing to do\n" : done);
    return 0;
}

int KeepAdding(const std::string& ready, const std::string& report, const std::string& folder) {
    if (!WriteText(ready, "ready\n")) {
        return 2;
    }
    const auto deadline = Clock::now() + kGiveUpAfter;
    long added = 0;
    while (Exists(ready) && Clock::now() < deadline) {
        char name[32];
        std::snprintf(name, sizeof(name), "/!%09ld", 999999999L - added);
        std::ofstream((folder + name).c_str()) << "more";
        ++added;
    }
    WriteText(report, "added " + std::to_string(added) + "\n");
    return 0;
}

} // namespace

// Standard streams on /dev/null, every other inherited descriptor closed.
void LetGoOfTheCaller() {
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3 && null >= 0; ++fd) {
        dup2(null, fd);
    }
    const long last = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (last > 0 ? last : 1024); ++fd) {
        close(static_cast<int>(fd));
    }
}

int main(int argc, char** argv) {
    const std::string mode = argc > 3 ? argv[3] : "";
    if (argc < 4) {
        std::fprintf(stderr, "usage: see the head of %s\n", __FILE__);
        return 2;
    }
    LetGoOfTheCaller();
    if (mode == "swap-after-deletions" && argc == 7) {
        return SwapAfterDeletions(argv[1], argv[2], argv[4], argv[5], std::atoi(argv[6]));
    }
    if (mode == "swap-when-made" && argc == 7) {
        return SwapWhenMade(argv[1], argv[2], argv[4], argv[5], argv[6]);
    }
    if (mode == "replace-programs" && argc == 6) {
        return ReplacePrograms(argv[1], argv[2], argv[4], argv[5]);
    }
    if (mode == "keep-adding" && argc == 5) {
        return KeepAdding(argv[1], argv[2], argv[4]);
    }
    return 2;
}
