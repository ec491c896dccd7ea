// A veskactl process started by a test: its own environment entries, its outputs in files.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace veska::testing {

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct CtlResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// veskactl with args, its standard output and error in files of dir. settings ("NAME=value")
/// replace the test's own entries of those names; the child runs in cwd when one is given.
/// Killed when dropped before Wait.
class VeskactlChild {
  public:
    VeskactlChild(const std::string& dir, const std::vector<std::string>& args,
                  const std::vector<std::string>& settings, const std::string& cwd = {})
        : outPath_(dir + "/stdout.txt"), errPath_(dir + "/stderr.txt") {
        std::vector<std::string> words{VESKACTL_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        // Everything the child needs is made before the fork: the test process has threads.
        std::vector<std::string> env = settings;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const std::string& s : settings)
                replaced = replaced || entry.rfind(s.substr(0, s.find('=') + 1), 0) == 0;
            if (!replaced) env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(out);
        ::close(err);
    }
    ~VeskactlChild() {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    VeskactlChild(const VeskactlChild&) = delete;
    VeskactlChild& operator=(const VeskactlChild&) = delete;

    void Signal(int signal) const { ::kill(pid_, signal); }
    std::string ErrSoFar() const { return ReadText(errPath_); }
    CtlResult Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        waited_ = true;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(outPath_),
                ReadText(errPath_)};
    }

  private:
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    bool waited_ = false;
};

}  // namespace veska::testing
