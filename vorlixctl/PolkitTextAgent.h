// SPDX-License-Identifier: MIT
#pragma once

#include <fcntl.h>
#include <poll.h>
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
        // An agent that cannot register (a bus that never answers) is given a few seconds.
        pollfd registered{ready[0], POLLIN, 0};
        for (char ignored = 0; agent > 0 && poll(&registered, 1, REGISTER_TIMEOUT_MS) == 1;) {
            if (read(ready[0], &ignored, 1) <= 0 && errno != EINTR) {
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
    static constexpr int REGISTER_TIMEOUT_MS = 5 * 1000;

    pid_t agent = -1;
};
