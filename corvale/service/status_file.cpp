// The service's status file: its text, and its writing in one piece.
#include "corvale/service/status_file.h"

#include <map>
#include <sstream>

namespace corvale {

namespace {

const char* ActivityName(ServiceActivity activity) {
  switch (activity) {
    case ServiceActivity::kStarting:
      return "starting";
    case ServiceActivity::kServing:
      return "serving";
    case ServiceActivity::kNotServing:
      return "not serving";
    case ServiceActivity::kStopping:
      return "stopping";
    case ServiceActivity::kStopped:
      return "stopped";
  }
  return "stopped";
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

std::string FormatStatusReport(const ServiceStatusReport& report) {
  std::ostringstream out;
  out << "activity=" << ActivityName(report.activity) << "\n"
      << "jobs=" << report.jobs_in_queue << "\n"
      << "job=" << OneLine(report.current_job) << "\n"
      << "status=" << OneLine(report.status_text) << "\n"
      << "heartbeat=" << report.heartbeat << "\n"
      << "account=" << OneLine(report.account) << "\n";
  return out.str();
}

std::optional<ServiceStatusReport> ParseStatusReport(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return std::nullopt;
    values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  for (const char* key : {"activity", "jobs", "job", "status", "heartbeat", "account"}) {
    if (!values.count(key)) return std::nullopt;
  }
  ServiceStatusReport report;
  bool known = false;
  for (ServiceActivity activity :
       {ServiceActivity::kStarting, ServiceActivity::kServing, ServiceActivity::kNotServing,
        ServiceActivity::kStopping, ServiceActivity::kStopped}) {
    if (values["activity"] == ActivityName(activity)) {
      report.activity = activity;
      known = true;
    }
  }
  if (!known) return std::nullopt;
  try {
    size_t used = 0;
    report.jobs_in_queue = std::stoi(values["jobs"], &used);
    if (used != values["jobs"].size()) return std::nullopt;
    report.heartbeat = std::stoll(values["heartbeat"], &used);
    if (used != values["heartbeat"].size()) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  report.current_job = values["job"];
  report.status_text = values["status"];
  report.account = values["account"];
  return report;
}

SystemError WriteStatusReport(FileSystem& files, const std::string& path,
                              const ServiceStatusReport& report) {
  const std::string fresh = path + ".new";
  if (files.FileExists(fresh)) files.DeleteFile(fresh);
  if (SystemError error = files.AppendToFile(fresh, FormatStatusReport(report))) return error;
  return files.MoveFile(fresh, path);
}

std::optional<ServiceStatusReport> ReadStatusReport(FileSystem& files, const std::string& path) {
  const std::optional<std::string> text = files.ReadTextFile(path);
  if (!text) return std::nullopt;
  return ParseStatusReport(*text);
}

bool IsFresh(const ServiceStatusReport& report, int64_t now) {
  return now - report.heartbeat <= kStaleHeartbeat && report.heartbeat - now <= kStaleHeartbeat;
}

}  // namespace corvale
