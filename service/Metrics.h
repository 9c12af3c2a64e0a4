// Counters per printer, served at /metrics in the Prometheus text format.
//
// Thread-safety: every member may be called from any thread.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace brontald {

class CMetrics {
  public:
    // A request that reached a printer's endpoint ("receipts", "status", "reports/x", ...).
    void CountRequest(const std::string& printer, const std::string& endpoint);
    // The driver's result code that ended a request's work on the printer.
    void CountResult(const std::string& printer, long code);
    // A request that repeated an idempotency key (answered from the store, or 409).
    void CountRetry(const std::string& printer);
    // Every driver call that ended with a link failure, and those that were time-outs.
    void CountMethodResult(const std::string& printer, long code);
    void CountReconnect(const std::string& printer);
    // "committed", "not committed", "unknown".
    void CountReconciliation(const std::string& printer, const std::string& outcome);

    std::string PrometheusText() const;

  private:
    mutable std::mutex m_mutex;
    std::map<std::tuple<std::string, std::string>, unsigned long long> m_requests;
    std::map<std::tuple<std::string, long>, unsigned long long> m_results;
    std::map<std::string, unsigned long long> m_retries;
    std::map<std::string, unsigned long long> m_timeouts;
    std::map<std::string, unsigned long long> m_linkErrors;
    std::map<std::string, unsigned long long> m_reconnects;
    std::map<std::tuple<std::string, std::string>, unsigned long long> m_reconciliations;
};

}  // namespace brontald
