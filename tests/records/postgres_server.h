#pragma once

#include <QString>
#include <QTemporaryDir>

// A PostgreSQL server of the test's own: a new cluster (initdb) in a temporary folder, run by
// pg_ctl on a private port on 127.0.0.1 with trust authentication, as the postgres user when the
// test runs as root (the server refuses root). Stopped and removed with the object. Error() says
// why there is none (no PostgreSQL installed, no postgres user, a failed start).
class PostgresServer {
 public:
  PostgresServer();
  ~PostgresServer() { Stop(); }
  Q_DISABLE_COPY_MOVE(PostgresServer)

  const QString& Error() const { return error_; }
  // Stops and starts the running cluster (an outage); false, with Error(), when it could not.
  bool Stop() { return !running_ || !(running_ = !Run({"-m", "fast", "-w", "stop"})); }
  bool Start();
  // A new, empty database: its records location "postgresql://postgres@127.0.0.1:PORT/NAME".
  QString NewDatabase(const QString& name);

 private:
  // Runs one of the server's tools on the cluster (the data folder is given); false, with
  // Error(), when it failed.
  bool Run(QStringList arguments, const QString& tool = "pg_ctl");

  QTemporaryDir folder_;
  QString bin_;
  int port_ = 0;
  bool running_ = false;
  QString error_;
};
