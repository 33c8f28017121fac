// A virtual X server (Xvfb) of a test's own, for the tests that talk to a real X server.
#pragma once

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// An Xvfb of its own, on the number it picks (-displayfd), named in $DISPLAY while it runs; the program's
// connections open $DISPLAY.
class VirtualServer {
public:
    explicit VirtualServer(const std::vector<std::string>& extra) {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten",
                                             "tcp"};
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            const int nNull = open("/dev/null", O_WRONLY);
            dup2(nNull, STDOUT_FILENO);
            dup2(nNull, STDERR_FILENO);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) {
            m_name = ":" + number;
            setenv("DISPLAY", m_name.c_str(), 1);
        }
    }
    ~VirtualServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool Ready() const { return !m_name.empty(); }

private:
    pid_t m_pid = -1;
    std::string m_name;
};
