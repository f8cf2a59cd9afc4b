#include "gaiji_probe_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace gaiji_probe {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempPath(const char* what) {
    char pattern[] = "/tmp/lumtrax-probe-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    return std::string(pattern) + what;
}

}  // namespace

Run Probe(const std::vector<std::string>& args, const std::string& table, const std::string& library_folder) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("LUMTRAX_GAIJI_TABLE=", 0) == 0) continue;
        if (!library_folder.empty() && entry.rfind("LD_LIBRARY_PATH=", 0) == 0) continue;
        env.push_back(entry);
    }
    if (!table.empty()) env.push_back("LUMTRAX_GAIJI_TABLE=" + table);
    if (!library_folder.empty()) env.push_back("LD_LIBRARY_PATH=" + library_folder);

    std::vector<std::string> argv_strings = {GAIJI_PROBE};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argv_strings) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string base = TempPath("");
    const std::string out = base + ".out", err = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Run run;
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int wait_status = 0;
        waitpid(child, &wait_status, 0);
        run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
        run.out = Slurp(out);
        run.err = Slurp(err);
    }
    posix_spawn_file_actions_destroy(&actions);
    for (const std::string& path : {base, out, err}) std::remove(path.c_str());
    return run;
}

}  // namespace gaiji_probe
