// The simulated analyzer's end of the serial line: a pseudo-terminal whose slave side Wine
// opens as a COM port through a symbolic link in the prefix's dosdevices folder.
#pragma once

#include <string>

class SimPty {
  public:
    ~SimPty() { Close(); }
    bool Open(std::string& error);
    void Close();
    bool IsOpen() const { return m_master >= 0; }
    int Master() const { return m_master; }
    const std::string& SlaveName() const { return m_slaveName; }

    // Points `link` at the slave, replacing whatever was there in one step.
    bool Link(const std::string& link, std::string& error) const;
    // Removes `link` if it still points at this pty (another simulator may own it now).
    void Unlink(const std::string& link) const;

  private:
    int m_master = -1;
    int m_slave = -1; // kept open so the line stays up while the program closes and reopens
    std::string m_slaveName;
};
