#include "tests/records/postgres_server.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <QCoreApplication>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

// The server refuses root: there it runs as the postgres user. Windows has no root.
bool RunsAsRoot() {
#ifdef _WIN32
  return false;
#else
  return ::geteuid() == 0;
#endif
}

}  // namespace

PostgresServer::PostgresServer() {
  const QStringList versions =
      QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& version : versions) {
    const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
    if (QFile::exists(bin + QStringLiteral("/pg_ctl"))) bin_ = bin;
  }
  if (bin_.isEmpty()) {
    error_ = QStringLiteral("no PostgreSQL server is installed (/usr/lib/postgresql/*/bin/pg_ctl)");
    return;
  }
  if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
    error_ = QStringLiteral("Qt SQL has no PostgreSQL driver here");
    return;
  }
  if (!folder_.isValid()) {
    error_ = QStringLiteral("no temporary folder: %1").arg(folder_.errorString());
    return;
  }
#ifdef _WIN32
  error_ = QStringLiteral("the tests start a PostgreSQL server on Linux only");
  return;
#else
  if (RunsAsRoot()) {
    const passwd* user = ::getpwnam("postgres");
    if (!user) {
      error_ = QStringLiteral("the server refuses root and there is no postgres user");
      return;
    }
    if (::chown(QFile::encodeName(folder_.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
      error_ = QStringLiteral("cannot give the temporary folder to the postgres user");
      return;
    }
  }
#endif
  if (!Run(QStringLiteral("initdb"),
           {QStringLiteral("-D"), folder_.filePath("data"), QStringLiteral("-A"),
            QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("postgres"),
            QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync")}))
    return;
  // A private port for each test process: the suite runs tests side by side.
  for (int attempt = 0; attempt < 5 && !running_; ++attempt) {
    port_ = 20000 + int((QCoreApplication::applicationPid() * 7 + attempt * 997) % 30000);
    error_.clear();
    Start();
  }
}

PostgresServer::~PostgresServer() { Stop(); }

bool PostgresServer::Run(const QString& tool, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  const QString program = bin_ + u'/' + tool;
  if (RunsAsRoot())
    process.start(QStringLiteral("runuser"),
                  QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                              QStringLiteral("--"), program} +
                      arguments);
  else
    process.start(program, arguments);
  if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    error_ = QStringLiteral("%1 failed: %2").arg(tool, QString::fromLocal8Bit(process.readAll()));
    return false;
  }
  return true;
}

bool PostgresServer::Start() {
  running_ = Run(
      QStringLiteral("pg_ctl"),
      {QStringLiteral("-D"), folder_.filePath("data"), QStringLiteral("-l"),
       folder_.filePath("log"), QStringLiteral("-w"), QStringLiteral("-o"),
       QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1").arg(port_).arg(folder_.path()),
       QStringLiteral("start")});
  return running_;
}

bool PostgresServer::Stop() {
  if (!running_) return true;
  running_ = !Run(QStringLiteral("pg_ctl"),
                  {QStringLiteral("-D"), folder_.filePath("data"), QStringLiteral("-m"),
                   QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
  return !running_;
}

QString PostgresServer::NewDatabase(const QString& name) {
  const QString connection = QUuid::createUuid().toString();
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(port_);
    db.setUserName(QStringLiteral("postgres"));
    db.setDatabaseName(QStringLiteral("postgres"));
    QSqlQuery query(db);
    if (!db.open() || !query.exec(QStringLiteral("CREATE DATABASE %1").arg(name)))
      error_ = QStringLiteral("cannot create a database: %1")
                   .arg((db.isOpen() ? query.lastError() : db.lastError()).text());
  }
  QSqlDatabase::removeDatabase(connection);
  return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(port_).arg(name);
}
