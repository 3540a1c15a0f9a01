#include "sim_pty.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

bool SimPty::Open(std::string& error) {
    char name[PATH_MAX] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    m_slaveName = name;
    // Raw bytes both ways: no echo, no CR/LF translation, no line editing.
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    return true;
}

void SimPty::Close() {
    if (m_master >= 0)
        close(m_master);
    if (m_slave >= 0)
        close(m_slave);
    m_master = m_slave = -1;
}

bool SimPty::Link(const std::string& link, std::string& error) const {
    const std::string temp = link + ".sim-" + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(m_slaveName.c_str(), temp.c_str()) != 0 ||
        rename(temp.c_str(), link.c_str()) != 0) {
        error = "cannot link " + link + ": " + std::strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void SimPty::Unlink(const std::string& link) const {
    char target[PATH_MAX] = {};
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && m_slaveName == std::string(target, static_cast<size_t>(n)))
        unlink(link.c_str());
}
