// The configuration files under faults: a full disk, odd targets, odd inputs, other owners,
// and two programs saving one file at once. Windows has no per-process write limit, no mounts
// for an unprivileged test, no owner ids, no FIFOs or sockets among files and no way to withdraw
// reading by permissions: those cases run on POSIX systems only.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <chrono>
#include <functional>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/file_faults.h"
#endif

#include "config_files/file_access.h"
#include "config_files/file_names.h"
#include "config_files/modINIReadWrite.h"
#include "config_files/program_files.h"
#include "programs/programs_model.h"
#include "tests/config_files/file_bytes.h"
#include "tests/support/file_rights.h"
#include "tests/support/qt_printers.h"

namespace {

using program_files::Outcome;

// Longer than a lock file, so that a write limit between the two fails the save itself.
const QByteArray kOld =
    "; " + QByteArray(250, '-') + "\r\n[Program]\r\nCurrent=100\r\nNote=kept\r\n";

// Every way the window and the tool write a configuration file; each gives the failure text.
struct Save {
  const char* name;
  std::function<QString(const TestProgramsModel&, const QString&)> run;
};
const Save kSaves[] = {
    {"save all", [](const TestProgramsModel& m,
                    const QString& f) { return program_files::SaveAllProgramsToFile(m, f).error; }},
    {"save one",
     [](const TestProgramsModel& m, const QString& f) {
       return program_files::SaveProgramToFile(m, 1, f, true).error;
     }},
    {"write a key",
     [](const TestProgramsModel&, const QString& f) {
       return modINIReadWrite::ChangeIniFile(
           f, [](IniDocument& d) { return d.SetValue("Program", "Current", "20"); });
     }},
};

class FileFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    model_.StartUp();
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  // The files of the folder, lock files aside (they stay, as QLockFile leaves them empty).
  QStringList Files() const {
    return QDir(dir_.path())
        .entryList(QDir::Files | QDir::Hidden)
        .filter(QRegularExpression("^(?!.*\\.lock$)"));
  }

  QTemporaryDir dir_;
  TestProgramsModel model_{QLocale::c()};
};

// A name given as bytes comes back as the same bytes, whatever they are, and reads with each
// byte that is no UTF-8 shown as \xHH.
TEST(FileNames, KeepEveryByteAndShowWhatIsNoUtf8Readably) {
  const struct {
    QByteArray bytes;
    QString readable;
  } cases[] = {
      {"plain.vap", "plain.vap"},
      {"caf\xc3\xa9.vap", QStringLiteral("caf\u00e9.vap")},
      {"\xf0\x9f\x98\x80", QStringLiteral("\U0001F600")},
      {"\xe0\xa0\x80", QStringLiteral("\u0800")},          // the first of three bytes
      {"\xf4\x8f\xbf\xbf", QStringLiteral("\U0010FFFF")},  // the last code point
      {"caf\xe9.vap", "caf\\xE9.vap"},
      {"\xff\xfe", "\\xFF\\xFE"},
      {"a\xe2\x82", "a\\xE2\\x82"},                  // a sequence cut short
      {"\xc0\xaf", "\\xC0\\xAF"},                    // an overlong form
      {"\xed\xa0\x80", "\\xED\\xA0\\x80"},           // a surrogate
      {"\xed\xb3\xa9", "\\xED\\xB3\\xA9"},           // the surrogate that stands for \xE9
      {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // beyond U+10FFFF
      {"\xe0\x80\x80\xf0\x80\x80\x80", "\\xE0\\x80\\x80\\xF0\\x80\\x80\\x80"},  // overlong
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.toHex().toStdString());
    const QString name = file_names::FromBytes(c.bytes);
    EXPECT_EQ(file_names::ToBytes(name), c.bytes);
    EXPECT_EQ(file_names::Readable(name), c.readable);
  }
}

#ifndef _WIN32
// A write that fails part way, at a size limit of the process or on a full disk, leaves the old
// file whole beside no stray file and says why.
TEST_F(FileFaults, AFailedWriteLeavesTheOldFileWholeAndSaysWhy) {
  const FullDisk disk(Path("small"));
  for (const bool full : {false, true}) {
    if (full && !disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const QString file = full ? Path("small/p.vap") : Path("p.vap");
    WriteAll(file, kOld);
    if (full) disk.Fill();
    for (const Save& save : kSaves) {
      SCOPED_TRACE(std::string(save.name) + (full ? ", full disk" : ", size limit"));
      QString error;
      {
        std::optional<WriteLimit> limit;
        if (!full) limit.emplace(200);
        error = save.run(model_, file);
      }
      // The size limit strikes the file itself; the full disk may strike its lock file first.
      EXPECT_TRUE((full || error.startsWith("Cannot save ")) &&
                  error.contains(full ? "the disk is full" : "may not grow that large"))
          << error.toStdString();
      EXPECT_EQ(ReadAll(file), kOld);
      const QStringList files = full ? disk.Files() : Files();
      EXPECT_EQ(files.filter(QRegularExpression("^(?!.*\\.lock$)")), QStringList{"p.vap"});
    }
  }
}

TEST_F(FileFaults, TheReplacedFileKeepsItsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another owner needs root";
  for (const Save& save : kSaves) {
    SCOPED_TRACE(save.name);
    const QByteArray path = QFile::encodeName(Path("owned.vap"));
    WriteAll(Path("owned.vap"), kOld);
    ASSERT_EQ(::chown(path.constData(), 4321, 8765), 0);
    ASSERT_EQ(::chmod(path.constData(), 0640), 0);
    EXPECT_EQ(save.run(model_, Path("owned.vap")), QString());
    EXPECT_NE(ReadAll(Path("owned.vap")), kOld);
    struct stat st {};
    ::stat(path.constData(), &st);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
}

// A save by a member of the file's group keeps the group and the mode; what it cannot keep (the
// owner, a group it is not in) it says in a note.
TEST_F(FileFaults, ASaveKeepsTheGroupOfAMemberAndNotesWhatItCannotKeep) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0777), 0);
  const QString file = Path("shared.vap");
  const QString lost = file + " was saved, but could not keep its ";
  struct Case {
    const char* name;
    uid_t owner;
    gid_t group;
    mode_t mode;
    gid_t groupAfter;
    QString notes;
  };
  const Case cases[] = {
      {"own file", kTestUser, kSharedGroup, 0660, kSharedGroup, ""},
      {"own file, set-group-id", kTestUser, kSharedGroup, 02664, kSharedGroup, ""},
      {"another's file", kOtherUser, kSharedGroup, 0664, kSharedGroup,
       lost + "owner 64322 (now 64321)."},
      {"a foreign group", kOtherUser, kForeignGroup, 0646, kTestUsersGroup,
       lost + "owner 64322 (now 64321), group 64333 (now 64331)."},
  };
  // The window's two saves (veld32ctl's download and STATE are the first), as the window has
  // their notes: among the outcome's notes.
  const std::pair<const char*, std::function<program_files::Outcome(const QString&)>> saves[] = {
      {"save all",
       [this](const QString& f) { return program_files::SaveAllProgramsToFile(model_, f); }},
      {"save one",
       [this](const QString& f) { return program_files::SaveProgramToFile(model_, 0, f, true); }},
  };
  for (const auto& [saveName, save] : saves) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(saveName) + ", " + c.name);
      const QByteArray path = QFile::encodeName(file);
      WriteAll(file, kOld);
      ASSERT_EQ(::chown(path.constData(), c.owner, c.group), 0);
      ASSERT_EQ(::chmod(path.constData(), c.mode), 0);
      int report[2];
      ASSERT_EQ(::pipe(report), 0);
      const pid_t child = ::fork();
      if (child == 0) {
        ::close(report[0]);
        const program_files::Outcome saved =
            BecomeTestUser() ? save(file)
                             : program_files::Outcome{false, "cannot become the test user", {}, {}};
        const QByteArray text = (saved.error + "|" + saved.notes.join('\n')).toUtf8();
        ::_exit(::write(report[1], text.constData(), text.size()) == text.size() ? 0 : 1);
      }
      ::close(report[1]);
      QFile reader;
      ASSERT_TRUE(reader.open(report[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
      const QByteArray said = reader.readAll();
      int status = -1;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_EQ(status, 0);
      EXPECT_EQ(said, "|" + c.notes.toUtf8());
      struct stat st {};
      ASSERT_EQ(::stat(path.constData(), &st), 0);
      EXPECT_NE(ReadAll(file), kOld);
      EXPECT_EQ(st.st_uid, kTestUser);
      EXPECT_EQ(st.st_gid, c.groupAfter);
      EXPECT_EQ(st.st_mode & 07777, c.mode);
      QFile::remove(file);
    }
  }
}

#endif

// A save names what it cannot replace and leaves it as it was: only a regular file is ever
// replaced, a read-only one by no one (root included), and a folder that is missing or read-only
// to the operator is named.
TEST_F(FileFaults, ASaveNamesWhatItCannotReplaceAndLeavesItAsItWas) {
  QDir().mkdir(Path("folder.vap"));
  WriteAll(Path("locked.vap"), kOld);
  ASSERT_TRUE(QFile::setPermissions(Path("locked.vap"), QFile::ReadOwner | QFile::ReadGroup));
  // the target, the cause its refusal names, whether root's override is withdrawn
  std::vector<std::tuple<QString, QString, bool>> targets = {
      {Path("folder.vap"), "a folder", false},
      {Path("locked.vap"), "the file is read-only", false},
      {Path("none/p.vap"), "does not exist", true}};
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo.vap")).constData(), 0644), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray socketPath = QFile::encodeName(Path("socket.vap"));
  std::strncpy(address.sun_path, socketPath.constData(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(sock);  // the socket's file stays
  // Windows ignores a folder's read-only mark.
  QDir().mkdir(Path("ro"));
  ASSERT_TRUE(QFile::setPermissions(Path("ro"), QFile::ReadOwner | QFile::ExeOwner));
  targets.insert(targets.end(), {{Path("fifo.vap"), "a FIFO", false},
                                 {Path("socket.vap"), "a socket", false},
                                 {Path("ro/p.vap"), "is read-only", true}});
  // A copy of the null device, where the suite may make one.
  if (::mknod(QFile::encodeName(Path("null.vap")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0)
    targets.emplace_back(Path("null.vap"), "a device", false);
#else
  targets.emplace_back("NUL", "a device", false);
#endif
  for (const auto& [target, cause, asOperator] : targets) {
    std::optional<WithoutPermissionOverride> operatorOnly;
    if (asOperator) operatorOnly.emplace();
    for (const Save& save : kSaves) {
      SCOPED_TRACE(target.toStdString() + " " + save.name);
      struct stat before {};
      ::stat(QFile::encodeName(target).constData(), &before);
      const QString error = save.run(model_, target);
      EXPECT_TRUE(error.contains(cause)) << error.toStdString();
      struct stat after {};
      ::stat(QFile::encodeName(target).constData(), &after);
      EXPECT_EQ(after.st_mode, before.st_mode);
      EXPECT_EQ(after.st_ino, before.st_ino);
      if (target == Path("locked.vap")) {
        EXPECT_EQ(ReadAll(target), kOld);
      }
    }
  }
}

// Each load names its cause; none reads more than the bound, waits for a writer, or takes long.
TEST_F(FileFaults, ALoadThatCannotUseItsFileSaysWhy) {
  QDir().mkdir(Path("folder.vap"));
  QFile large(Path("large.vap"));
  ASSERT_TRUE(large.open(QIODevice::WriteOnly) && large.resize(10 * 1000 * 1000));
  large.close();
  WriteAll(Path("wide.vap"), QByteArray("[\0P\0]\0", 6));
  WriteAll(Path("bom16.vap"), "\xFF\xFE[\0P\0]\0");
  std::vector<std::pair<QString, QString>> cases = {
      {Path("missing.vap"), "The file " + Path("missing.vap") + " does not exist."},
      {Path("folder.vap"), "is a folder, not a configuration file"},
      {Path("large.vap"), "is too large for a configuration file: 10000000 bytes"},
      {Path("wide.vap"), "wide.vap is UTF-16 text: save it as 8-bit text."},
      {Path("bom16.vap"), "bom16.vap is UTF-16 text: save it as 8-bit text."},
  };
#ifndef _WIN32
  WriteAll(Path("secret.vap"), kOld);
  ASSERT_TRUE(QFile::setPermissions(Path("secret.vap"), QFile::WriteOwner));
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo.vap")).constData(), 0644), 0);
  cases.insert(
      cases.end(),
      {{Path("secret.vap"), "cannot be read: permission denied"},
       {"/dev/zero", "/dev/zero is too large for a configuration file: more than 1048576 bytes"},
       {Path("fifo.vap"), "The file fifo.vap holds no settings of section [Program1]."}});
#endif
  const WithoutPermissionOverride asTheOperator;
  for (const auto& [file, cause] : cases) {
    SCOPED_TRACE(file.toStdString());
    const QString before = model_.BoxText(0, ProgramBox::PassOhms);
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = program_files::LoadAllProgramsFromFile(model_, file);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.error.contains(cause)) << outcome.error.toStdString();
  }
}

// A lock file that names no live process is taken over (one that names nobody once it is old
// enough to be finished), and a taken lock leaves no file behind; any other lock is in use, and
// the refusal names the lock file and its holder.
TEST_F(FileFaults, ALockThatNamesNoLiveProcessIsTakenOver) {
  QProcess gone;
  gone.start(QStringLiteral(SAVE_LOOP_PATH), QStringList());  // ends at once: no arguments
  ASSERT_TRUE(gone.waitForStarted());
  const qint64 deadPid = gone.processId();
  ASSERT_TRUE(gone.waitForFinished());
  // Lock files as this Qt writes them: a live one (this process) and a dead program's.
  QByteArray live;
  {
    QLockFile held(Path("other.lock"));
    ASSERT_TRUE(held.tryLock());
    live = ReadAll(Path("other.lock"));
  }
  QByteArray dead = live;
  dead.replace(0, dead.indexOf('\n'), QByteArray::number(deadPid));
  const QString lockFile = Path("p.vap.lock");
  const QString namesNobody = "its lock file " + lockFile + " names no program yet";
  const QString namesUs = QCoreApplication::applicationName() + " (process " +
                          QString::number(QCoreApplication::applicationPid()) +
                          ") holds its lock file " + lockFile;
  const QDateTime now = QDateTime::currentDateTime();
  struct Case {
    const char* name;
    QByteArray content;
    QDateTime written;
    QString holder;  // empty: taken over
  };
  const Case cases[] = {
      {"dead program", dead, now, ""},
      {"empty, old", "", now.addMSecs(-file_access::kAbandonedLockAgeMs - 1000), ""},
      {"garbled, old", "x\n\n", now.addSecs(-3600), ""},
      {"empty, new", "", now, namesNobody},
      {"garbled, new", "garbage\n", now.addMSecs(-file_access::kAbandonedLockAgeMs / 2),
       namesNobody},
      {"live program, old", live, now.addSecs(-3600), namesUs},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      QFile lock(lockFile);
      ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
      ASSERT_EQ(lock.write(c.content), c.content.size());
      ASSERT_TRUE(lock.flush());
      ASSERT_TRUE(lock.setFileTime(c.written, QFileDevice::FileModificationTime));
    }
    {
      file_access::FileLock taker(Path("p.vap"));
      const QString error = taker.Acquire(300);
      EXPECT_EQ(error, c.holder.isEmpty() ? QString()
                                          : "The file " + Path("p.vap") +
                                                " is in use by another program: " + c.holder +
                                                " (waited 300 ms).");
    }
    EXPECT_EQ(QFile::exists(lockFile), !c.holder.isEmpty());
    QFile::remove(lockFile);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
  }
  // The window's save of one program takes its lock the same way.
  WriteAll(lockFile, "");
  QFile stale(lockFile);
  ASSERT_TRUE(stale.open(QIODevice::Append) &&
              stale.setFileTime(now.addSecs(-3600), QFileDevice::FileModificationTime));
  stale.close();
  EXPECT_TRUE(program_files::SaveProgramToFile(model_, 0, Path("p.vap"), true).ok);
  EXPECT_EQ(Files(), QStringList{"p.vap"});
  EXPECT_FALSE(QFile::exists(lockFile));
}

// Two programs save their own program into one file many times at once: every last write is
// there and no section is lost.
TEST_F(FileFaults, TwoProgramsSavingOneFileLoseNothing) {
  const QString file = Path("shared.vap");
  constexpr int kSavesEach = 40;
  QProcess first;
  QProcess second;
  first.start(QStringLiteral(SAVE_LOOP_PATH), {file, "0", QString::number(kSavesEach)});
  second.start(QStringLiteral(SAVE_LOOP_PATH), {file, "2", QString::number(kSavesEach)});
  for (QProcess* child : {&first, &second}) {
    ASSERT_TRUE(child->waitForFinished(60000));
    EXPECT_EQ(child->exitCode(), 0) << child->readAllStandardError().toStdString();
  }
  const modINIReadWrite::IniLoad load = modINIReadWrite::LoadIniFile(file);
  ASSERT_TRUE(load.document) << load.error.toStdString();
  for (const QString& section : {QString("Program1"), QString("Program3")}) {
    EXPECT_EQ(load.document->Value(section, "Pass"), QString::number(100 + kSavesEach))
        << section.toStdString();
    EXPECT_TRUE(load.document->Value(section, "Fail")) << section.toStdString();
  }
}

}  // namespace
