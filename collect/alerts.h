// Alerts of positive screenings: after each pass's imports the new records are paired
// (collect/cases.h) and each new screening's alert is queued in quelma.alerts; a sender
// sends the queue by mail and/or webhook through libcurl, retrying failures with a growing
// pause. With --watch the sender is a thread of its own, so a slow server never holds up an
// import; a single run sends once its imports are done.
#pragma once

#include "collect/alert_message.h"
#include "collect/notify_options.h"
#include "collect/pg.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class Alerts {
  public:
    Alerts(const std::string& conninfo, const NotifyOptions& options, bool background);
    ~Alerts();
    Alerts(const Alerts&) = delete;
    Alerts& operator=(const Alerts&) = delete;

    // After a pass's imports: pairs and queues, then sends (or wakes the sender). Returns the
    // lines to print: a failure of the pairing, and the alerts' line when it changed. `trouble`
    // is set when something failed or waits.
    std::string AfterPass(pg::Connection& db, bool& trouble);

  private:
    void Run();
    void SendDue();
    // One due alert claimed, sent and noted; false when none was due.
    bool SendOne();
    bool Deliver(const std::string& channel, const AlertFacts& facts, std::string& error);

    NotifyOptions options_;
    std::vector<std::string> channels_;
    std::string conninfo_;
    std::unique_ptr<pg::Connection> db_; // the sender's
    std::atomic<int64_t> sent_{0};
    std::string shown_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false, stopping_ = false;
    std::thread thread_;
};
