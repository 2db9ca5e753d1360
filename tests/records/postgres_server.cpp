#include "tests/records/postgres_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

// The server refuses root: there it runs as the postgres user. Windows has no root.
#ifdef _WIN32
const bool kAsRoot = false;
#else
const bool kAsRoot = ::geteuid() == 0;
#endif

// Why no server can be started here, or nothing.
QString Missing(const QString& bin, const QTemporaryDir& folder) {
  if (bin.isEmpty()) return "no PostgreSQL server is installed (/usr/lib/postgresql/*/bin/pg_ctl)";
  if (!QSqlDatabase::isDriverAvailable("QPSQL")) return "Qt SQL has no PostgreSQL driver here";
  if (!folder.isValid()) return "no temporary folder: " + folder.errorString();
#ifdef _WIN32
  return "the tests start a PostgreSQL server on Linux only";
#else
  const passwd* user = ::getpwnam("postgres");
  if (kAsRoot && !user) return "the server refuses root and there is no postgres user";
  if (kAsRoot && ::chown(QFile::encodeName(folder.path()).constData(), user->pw_uid, user->pw_gid))
    return "cannot give the temporary folder to the postgres user";
  return {};
#endif
}

}  // namespace

PostgresServer::PostgresServer() {
  for (const QString& version :
       QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    if (QFile::exists("/usr/lib/postgresql/" + version + "/bin/pg_ctl"))
      bin_ = "/usr/lib/postgresql/" + version + "/bin";
  error_ = Missing(bin_, folder_);
  if (!error_.isEmpty() ||
      !Run({"-A", "trust", "-U", "postgres", "-E", "UTF8", "--no-sync"}, "initdb"))
    return;
  // A private port for each test process: the suite runs tests side by side.
  for (int attempt = 0; attempt < 5 && !running_; ++attempt) {
    port_ = 20000 + int((QCoreApplication::applicationPid() * 7 + attempt * 997) % 30000);
    error_.clear();
    Start();
  }
}

bool PostgresServer::Run(QStringList arguments, const QString& tool) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  arguments = QStringList{bin_ + '/' + tool, "-D", folder_.filePath("data")} + arguments;
  if (kAsRoot) arguments = QStringList{"-u", "postgres", "--"} + arguments;
  process.start(kAsRoot ? "runuser" : arguments.takeFirst(), arguments);
  if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
      process.exitCode() == 0)
    return true;
  error_ = tool + " failed: " + QString::fromLocal8Bit(process.readAll());
  return false;
}

bool PostgresServer::Start() {
  const QString options =
      QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1").arg(port_).arg(folder_.path());
  return running_ = Run({"-l", folder_.filePath("log"), "-w", "-o", options, "start"});
}

QString PostgresServer::NewDatabase(const QString& name) {
  const QString connection = QUuid::createUuid().toString();
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", connection);
    db.setHostName("127.0.0.1");
    db.setPort(port_);
    db.setUserName("postgres");
    db.setDatabaseName("postgres");
    QSqlQuery query(db);
    if (!db.open() || !query.exec("CREATE DATABASE " + name))
      error_ =
          "cannot create a database: " + (db.isOpen() ? query.lastError() : db.lastError()).text();
  }
  QSqlDatabase::removeDatabase(connection);
  return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(port_).arg(name);
}
