// SPDX-License-Identifier: MIT
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

// polkit's text agent for this terminal's session, as systemctl starts it, for as long as this
// object lives: when the service asks polkit about a change of ours and polkit wants a password,
// the agent asks for it on the terminal. It is started only when asked to and standard input is
// a terminal, and it is ready once it closes the descriptor it is given; without one installed
// nobody asks, and polkit's answer says so.
class PolkitTextAgent {
public:
    explicit PolkitTextAgent(bool wanted) {
        int ready[2];
        if (!wanted || isatty(STDIN_FILENO) == 0 || pipe2(ready, O_CLOEXEC) != 0) {
            return;
        }
        agent = fork();
        if (agent == 0) {
            fcntl(ready[1], F_SETFD, 0); // the agent's to close
            const std::string notify = std::to_string(ready[1]);
            execlp("pkttyagent", "pkttyagent", "--notify-fd", notify.c_str(), "--fallback", nullptr);
            _exit(127);
        }
        close(ready[1]);
        for (char ignored = 0; agent > 0;) {
            const ssize_t got = read(ready[0], &ignored, 1);
            if (got == 0 || (got < 0 && errno != EINTR)) {
                break;
            }
        }
        close(ready[0]);
    }

    PolkitTextAgent(const PolkitTextAgent&) = delete;
    PolkitTextAgent& operator=(const PolkitTextAgent&) = delete;

    ~PolkitTextAgent() {
        if (agent > 0) {
            kill(agent, SIGTERM);
            waitpid(agent, nullptr, 0);
        }
    }

private:
    pid_t agent = -1;
};
