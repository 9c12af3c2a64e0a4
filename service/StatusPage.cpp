// The status page at "/": each printer's state as the printer reports it now, its last
// documents, and a button for an X report. Rendered here, so that it shows the truth without
// scripts; the button alone uses one.
#include <sstream>

#include "HttpApi.h"
#include "Operations.h"

namespace brontald {

namespace {

constexpr unsigned kLastDocuments = 10;

std::string Html(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

void Row(std::ostringstream& out, const std::string& id, const std::string& label,
         const std::string& value) {
    out << "<tr><th>" << Html(label) << "</th><td id=\"" << Html(id) << "\">" << Html(value)
        << "</td></tr>\n";
}

std::string Text(const Json& body, const char* section, const char* member) {
    if (!body.contains(section) || !body[section].contains(member)) {
        return std::string();
    }
    const Json& value = body[section][member];
    return value.is_string() ? value.get<std::string>() : value.dump();
}

void PrinterSection(std::ostringstream& out, const PrinterConfig& printer, const Answer& status,
                    const std::vector<DocumentRecord>& documents) {
    const std::string& name = printer.name;
    const Json& body = status.body;
    out << "<section class=\"printer\" id=\"printer-" << Html(name) << "\">\n<h2>" << Html(name)
        << " <small>COM" << printer.port << ", " << printer.baud << " baud</small></h2>\n";
    out << "<table class=\"state\">\n";
    if (status.status != 200) {
        const std::string message =
            body.contains("error") ? body["error"].value("message", std::string()) : std::string();
        Row(out, name + "-link", "Link", "not connected: " + message);
        out << "</table>\n";
    } else {
        const bool dayOpen = body["day"].value("open", false);
        const bool receiptOpen = body["receipt"].value("open", false);
        Row(out, name + "-link", "Link", "connected");
        Row(out, name + "-model", "Printer",
            Text(body, "identification", "name") + ", serial " +
                Text(body, "identification", "serial_number"));
        Row(out, name + "-day", "Day",
            dayOpen ? "open, session " + Text(body, "day", "session") : "closed");
        Row(out, name + "-receipt", "Receipt", receiptOpen ? "open" : "none open");
        std::string blocked = "no";
        if (body.value("blocked", false)) {
            blocked = "yes";
            const char* separator = ": ";
            for (const Json& reason : body["blocking_reasons"]) {
                blocked += separator + reason.value("reason", std::string());
                separator = "; ";
            }
        }
        Row(out, name + "-blocked", "Blocked", blocked);
        Row(out, name + "-last-document", "Last document",
            Text(body, "documents", "last_document"));
        Row(out, name + "-receipts", "Receipts committed", Text(body, "documents", "receipts"));
        out << "</table>\n<details><summary>Status flags</summary><ul>\n";
        for (const Json& flag : body["flags"]) {
            out << "<li>" << Html(flag.value("property", std::string())) << " = "
                << flag.value("value", 0) << " <i>" << Html(flag.value("meaning", std::string()))
                << "</i></li>\n";
        }
        out << "</ul></details>\n";
    }
    out << "<h3>Last documents</h3>\n<table class=\"documents\" id=\"" << Html(name)
        << "-documents\">\n<tr><th>Document</th><th>Kind</th><th>Total</th><th>Time "
           "(UTC)</th></tr>\n";
    for (const DocumentRecord& document : documents) {
        out << "<tr><td>" << document.document << "</td><td>" << Html(document.operation)
            << "</td><td>" << Html(document.total) << "</td><td>" << Html(document.time)
            << "</td></tr>\n";
    }
    out << "</table>\n<p><button type=\"button\" onclick=\"xReport('" << Html(name)
        << "')\">X report</button> <span id=\"" << Html(name) << "-result\"></span></p>\n"
        << "</section>\n";
}

constexpr const char* kHead = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>brontald: fiscal printers</title>
<style>
body { font-family: sans-serif; margin: 2em; color: #222; }
section.printer { border: 1px solid #aaa; border-radius: 6px; padding: 0 1em 1em; margin-bottom: 1.5em; }
th { text-align: left; padding-right: 1.5em; font-weight: 600; }
table.documents td, table.documents th { padding: 0.1em 1em 0.1em 0; }
small { color: #666; font-weight: normal; }
</style></head><body>
<h1>brontald: fiscal printers</h1>
)";

constexpr const char* kTail = R"(<script>
async function xReport(name) {
  const shown = document.getElementById(name + '-result');
  shown.textContent = 'printing...';
  try {
    const reply = await fetch('/printers/' + encodeURIComponent(name) + '/reports/x',
        {method: 'POST', headers: {'Content-Type': 'application/json'}, body: '{}'});
    const answer = await reply.json();
    shown.textContent = reply.ok ? 'done' : (answer.error && answer.error.message) || reply.status;
  } catch (error) {
    shown.textContent = String(error);
  }
}
</script>
</body></html>
)";

}  // namespace

std::string CHttpApi::StatusPage() {
    std::ostringstream out;
    out << kHead;
    for (const PrinterConfig& printer : m_config.printers) {
        const Answer status =
            RunRead(printer.name, [](CPrinterSession& session) { return ReadStatus(session); });
        PrinterSection(out, printer, status, m_store.LastDocuments(printer.name, kLastDocuments));
    }
    out << kTail;
    return out.str();
}

}  // namespace brontald
