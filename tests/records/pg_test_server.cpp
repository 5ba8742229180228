#include "tests/records/pg_test_server.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "records/pg_connection.h"
#include "support/child_process.h"

namespace fs = std::filesystem;

namespace records_test {
namespace {
constexpr unsigned kServerUser = 65534;  // "nobody"; its group "nogroup" has the same number

// The newest installed server's programs ("/usr/lib/postgresql/15/bin"), or empty.
std::string ServerBinDir() {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
    const fs::path bin = entry.path() / "bin";
    if (fs::exists(bin / "initdb", error) && fs::exists(bin / "pg_ctl", error)) {
      found.push_back(bin.string());
    }
  }
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return found.empty() ? std::string() : found.back();
}

void ChownTree(const fs::path& path) {
  if (chown(path.c_str(), kServerUser, kServerUser) != 0) return;
  std::error_code error;
  if (!fs::is_directory(path, error)) return;
  for (const auto& entry : fs::recursive_directory_iterator(path, error)) {
    if (chown(entry.path().c_str(), kServerUser, kServerUser) != 0) return;
  }
}
}  // namespace

std::string PgTestServer::Missing() {
  return ServerBinDir().empty()
             ? "no PostgreSQL server programs (initdb, pg_ctl) below /usr/lib/postgresql"
             : std::string();
}

PgTestServer::PgTestServer(std::string& error) : bin_(ServerBinDir()) {
  std::string pattern = (fs::temp_directory_path() / "zv_pg_XXXXXX").string();
  if (bin_.empty() || mkdtemp(pattern.data()) == nullptr) {
    error = bin_.empty() ? Missing() : "mkdtemp failed";
    return;
  }
  folder_ = pattern;
  if (geteuid() == 0) ChownTree(folder_);
  const std::string data = folder_ + "/data";
  if (!Run("initdb",
           {"-D", data, "-U", "postgres", "-A", "trust", "-E", "UTF8", "--locale=C", "--no-sync",
            "--no-instructions"},
           error)) {
    return;
  }
  std::ofstream(data + "/pg_hba.conf", std::ios::trunc) << "local all station scram-sha-256\n"
                                                        << "local all all trust\n";
  std::ofstream(data + "/postgresql.conf", std::ios::app)
      << "listen_addresses = ''\n"
      << "unix_socket_directories = '" << folder_ << "'\n"
      << "fsync = off\n";
  if (geteuid() == 0) ChownTree(data);
}

PgTestServer::~PgTestServer() {
  std::string ignored;
  if (running_) Stop(ignored);
  std::error_code error;
  if (!folder_.empty()) fs::remove_all(folder_, error);
}

bool PgTestServer::Start(std::string& error) {
  running_ = Run(
      "pg_ctl",
      {"-D", folder_ + "/data", "-l", folder_ + "/server.log", "-w", "-t", "120", "start"}, error);
  if (!running_) {
    std::ifstream log(folder_ + "/server.log");
    error += std::string(std::istreambuf_iterator<char>(log), {});
  }
  return running_;
}

bool PgTestServer::Stop(std::string& error) {
  const bool stopped =
      Run("pg_ctl", {"-D", folder_ + "/data", "-m", "fast", "-w", "-t", "120", "stop"}, error);
  if (stopped) running_ = false;
  return stopped;
}

std::string PgTestServer::Url(const std::string& database, const std::string& user,
                              const std::string& extra) const {
  return "postgresql:///" + database + "?host=" + folder_ + "&user=" + user + extra;
}

bool PgTestServer::CreateDatabase(const std::string& name, std::string& error) {
  return Exec("postgres", "CREATE DATABASE " + name, error);
}

bool PgTestServer::Exec(const std::string& database, const std::string& sql, std::string& error) {
  PgConnection pg;
  if (pg.Open(Url(database)) && pg.Exec(sql)) return true;
  error = pg.Error();
  return false;
}

bool PgTestServer::Run(const std::string& program, const std::vector<std::string>& args,
                       std::string& error) const {
  std::vector<std::string> argv;
  if (geteuid() == 0) {
    const std::string id = std::to_string(kServerUser);
    argv = {"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--"};
  }
  argv.push_back(bin_ + "/" + program);
  argv.insert(argv.end(), args.begin(), args.end());
  const ChildResult result = RunChild(argv, "");
  if (result.Started && result.ExitCode == 0) return true;
  error = program + " failed (" + std::to_string(result.ExitCode) + "): " + result.Error +
          result.Err + result.Out;
  return false;
}

}  // namespace records_test
