#pragma once
// A client of a local port run by another user ("nobody"), as any other process of the machine
// could be: a forked child drops to that user, sends each request on its own connection and
// reports the status code of each reply; then it opens connections and stalls them (idle, half a
// request head, or a request whose reply it never reads) and holds them until told to go.
// Needs root to change user; Available() says whether the test can run here.
//
// The child only makes system calls on memory prepared before the fork: the test process has
// threads, and a lock one of them held at the fork would never be released in the child.

#include <QByteArray>
#include <QList>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace rmtest {

class ForeignClient {
public:
    ~ForeignClient() { Finish(); }

    static bool Available() { return ::geteuid() == 0 && ::getpwnam("nobody") != nullptr; }

    // Starts the child against 127.0.0.1:port. requests are sent whole, one connection each;
    // then `stall` connections are opened and held.
    bool Start(quint16 port, const QList<QByteArray>& requests, int stall)
    {
        const passwd* pw = ::getpwnam("nobody");
        if (!pw || ::geteuid() != 0)
            return false;
        const uid_t uid = pw->pw_uid;
        const gid_t gid = pw->pw_gid;
        for (const QByteArray& r : requests)
            m_requests.emplace_back(r.constData(), size_t(r.size()));
        m_expected = int(requests.size());
        m_stall = stall;
        int out[2], ctl[2];
        if (::pipe(out) != 0 || ::pipe(ctl) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid < 0)
            return false;
        if (m_pid == 0) {
            ::close(out[0]);
            ::close(ctl[1]);
            Child(port, uid, gid, out[1], ctl[0]);
        }
        ::close(out[1]);
        ::close(ctl[0]);
        m_out = out[0];
        m_ctl = ctl[1];
        ::fcntl(m_out, F_SETFL, ::fcntl(m_out, F_GETFL) | O_NONBLOCK);
        return true;
    }

    // Takes what the child reported so far; call while the event loop runs.
    void Poll()
    {
        char buf[256];
        ssize_t n;
        while (m_out >= 0 && (n = ::read(m_out, buf, sizeof buf)) > 0)
            m_report.append(buf, n);
    }
    // The status codes of the replies so far ("404", or "---" for none), in request order.
    QList<QByteArray> Codes() const
    {
        QList<QByteArray> codes;
        for (const QByteArray& line : m_report.split('\n'))
            if (line.size() == 3 && line != "ERR" && line != "STL")
                codes << line;
        return codes;
    }
    bool AllAnswered() const { return Codes().size() >= m_expected; }
    // The stalled connections are open (as far as the server let them be).
    bool Stalling() const { return m_report.contains("STL\n"); }
    // Whether the child could not become the other user.
    bool Failed() const { return m_report.contains("ERR\n"); }

    // Tells the child to close everything and waits for it.
    void Finish()
    {
        if (m_pid <= 0)
            return;
        ::close(m_ctl);
        int status = 0;
        for (int i = 0; i < 500 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            ::usleep(10000);
        if (::waitpid(m_pid, &status, WNOHANG) == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
        ::close(m_out);
        m_out = -1;
        m_pid = -1;
    }

private:
    [[noreturn]] void Child(quint16 port, uid_t uid, gid_t gid, int out, int ctl)
    {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 || ::getuid() == 0) {
            (void)!::write(out, "ERR\n", 4);
            ::_exit(2);
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        auto dial = [&]() {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            timeval limit{20, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
                ::close(fd);
                return -1;
            }
            return fd;
        };
        for (const std::string& request : m_requests) {
            char code[4] = {'-', '-', '-', '\n'};
            const int fd = dial();
            if (fd >= 0 && ::write(fd, request.data(), request.size()) == ssize_t(request.size())) {
                char head[16];
                size_t got = 0;
                ssize_t n;
                char sink[4096];
                while (got < sizeof head && (n = ::read(fd, head + got, sizeof head - got)) > 0)
                    got += size_t(n);
                while (::read(fd, sink, sizeof sink) > 0) {
                }
                if (got >= 12 && std::memcmp(head, "HTTP/1.", 7) == 0)
                    std::memcpy(code, head + 9, 3);
            }
            if (fd >= 0)
                ::close(fd);
            (void)!::write(out, code, 4);
        }
        // The stalled connections: every third idle, every third half a head, every third a whole
        // request whose reply is never read.
        static const char half[] = "GET /t/";
        for (int i = 0; i < m_stall; ++i) {
            const int fd = dial();
            if (fd < 0)
                continue;
            if (i % 3 == 1)
                (void)!::write(fd, half, sizeof half - 1);
            else if (i % 3 == 2 && !m_requests.empty())
                (void)!::write(fd, m_requests.back().data(), m_requests.back().size());
        }
        (void)!::write(out, "STL\n", 4);
        char c;
        while (::read(ctl, &c, 1) > 0) {
        }
        ::_exit(0);  // closes the held connections
    }

    std::vector<std::string> m_requests;
    int m_expected = 0;
    int m_stall = 0;
    pid_t m_pid = -1;
    int m_out = -1, m_ctl = -1;
    QByteArray m_report;
};

} // namespace rmtest
