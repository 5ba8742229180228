#pragma once
// A PostgreSQL server of the test's own: made with initdb in a temporary folder, reached only
// through a unix socket in that folder, started and stopped by the test, removed at the end.
// As root (CI) the server runs as the unprivileged user 65534, since it refuses to run as root.
#include <string>
#include <vector>

namespace records_test {

class PgTestServer {
 public:
  // Empty when the server's programs are installed; otherwise what is missing (the tests skip
  // with it).
  static std::string Missing();

  // Makes the cluster: user "postgres" trusted, user "station" (password "right") asked for its
  // password. `error` says why it failed.
  explicit PgTestServer(std::string& error);
  // Stops the server and removes the folder.
  ~PgTestServer();
  PgTestServer(const PgTestServer&) = delete;
  PgTestServer& operator=(const PgTestServer&) = delete;

  bool Start(std::string& error);
  bool Stop(std::string& error);

  // "postgresql:///<database>?host=<folder>&user=<user>" plus `extra` ("&passfile=...").
  std::string Url(const std::string& database, const std::string& user = "postgres",
                  const std::string& extra = "") const;
  bool CreateDatabase(const std::string& name, std::string& error);
  // Runs statements in a database as "postgres".
  bool Exec(const std::string& database, const std::string& sql, std::string& error);
  const std::string& Folder() const { return folder_; }

 private:
  bool Run(const std::string& program, const std::vector<std::string>& args,
           std::string& error) const;

  std::string bin_;
  std::string folder_;
  bool running_ = false;
};

}  // namespace records_test
