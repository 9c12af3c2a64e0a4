#include "Metrics.h"

#include <sstream>

#include "ResultCodes.h"

namespace brontald {

namespace {

// Label values are printer names and fixed words, but escape them as the format asks anyway.
std::string Label(const std::string& value) {
    std::string escaped;
    for (const char c : value) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

void Heading(std::ostringstream& out, const char* name, const char* help) {
    out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << " counter\n";
}

void PerPrinter(std::ostringstream& out, const char* name, const char* help,
                const std::map<std::string, unsigned long long>& counts) {
    Heading(out, name, help);
    for (const auto& [printer, count] : counts) {
        out << name << "{printer=\"" << Label(printer) << "\"} " << count << '\n';
    }
}

}  // namespace

void CMetrics::CountRequest(const std::string& printer, const std::string& endpoint) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_requests[{printer, endpoint}];
}

void CMetrics::CountResult(const std::string& printer, long code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_results[{printer, code}];
}

void CMetrics::CountRetry(const std::string& printer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_retries[printer];
}

void CMetrics::CountMethodResult(const std::string& printer, long code) {
    if (!IsLinkFailure(code)) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_linkErrors[printer];
    if (IsTimeout(code)) {
        ++m_timeouts[printer];
    }
}

void CMetrics::CountReconnect(const std::string& printer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_reconnects[printer];
}

void CMetrics::CountReconciliation(const std::string& printer, const std::string& outcome) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_reconciliations[{printer, outcome}];
}

std::string CMetrics::PrometheusText() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::ostringstream out;
    Heading(out, "brontald_requests_total", "Requests to a printer's endpoints.");
    for (const auto& [labels, count] : m_requests) {
        out << "brontald_requests_total{printer=\"" << Label(std::get<0>(labels))
            << "\",endpoint=\"" << Label(std::get<1>(labels)) << "\"} " << count << '\n';
    }
    Heading(out, "brontald_results_total",
            "Requests by the driver's result code that ended their work on the printer.");
    for (const auto& [labels, count] : m_results) {
        out << "brontald_results_total{printer=\"" << Label(std::get<0>(labels)) << "\",code=\""
            << std::get<1>(labels) << "\"} " << count << '\n';
    }
    PerPrinter(out, "brontald_retries_total",
               "Requests that repeated an idempotency key already known.", m_retries);
    PerPrinter(out, "brontald_timeouts_total", "Driver calls that ended with a reply time-out.",
               m_timeouts);
    PerPrinter(out, "brontald_link_errors_total", "Driver calls that ended with a link failure.",
               m_linkErrors);
    PerPrinter(out, "brontald_reconnects_total", "Reconnections after a link failure.",
               m_reconnects);
    Heading(out, "brontald_reconciliations_total",
            "Documents whose outcome was decided from the printer after a failure.");
    for (const auto& [labels, count] : m_reconciliations) {
        out << "brontald_reconciliations_total{printer=\"" << Label(std::get<0>(labels))
            << "\",outcome=\"" << Label(std::get<1>(labels)) << "\"} " << count << '\n';
    }
    return out.str();
}

}  // namespace brontald
