#pragma once

// A server program in a child process, as the server benchmark starts it.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace vellmar::bench {

// A server in a child process; its standard input is a pipe whose closing
// tells it to end.
class Child
{
public:
    bool start(const std::string &path)
    {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::execl(path.c_str(), path.c_str(), static_cast<char *>(nullptr));
            std::perror(path.c_str());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_stdin = in[1];
        // "READY <port> <own id>"
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) == 1) {
            char buffer[128];
            const auto n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        unsigned port = 0;
        if (std::sscanf(line.c_str(), "READY %u", &port) != 1)
            return false;
        m_port = static_cast<std::uint16_t>(port);
        return true;
    }
    void stop()
    {
        if (m_pid <= 0)
            return;
        ::close(m_stdin);
        for (int i = 0; i < 300; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            ::usleep(10000);
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    // User plus system time of every thread, in seconds.
    double cpuSeconds() const
    {
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/stat", int(m_pid));
        FILE *f = std::fopen(path, "r");
        if (!f)
            return 0;
        char buffer[1024] = {};
        const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        buffer[n] = 0;
        // Fields after the command name, which is in parentheses: state is
        // field 3, utime 14 and stime 15.
        const char *p = std::strrchr(buffer, ')');
        unsigned long utime = 0;
        unsigned long stime = 0;
        if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
            return 0;
        return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    // A server started by someone else (under a profiler, say); its CPU
    // time is not read.
    void attach(std::uint16_t port) { m_port = port; }
    std::uint16_t port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    std::uint16_t m_port = 0;
};

} // namespace vellmar::bench
