// The configuration files under faults: a full disk, odd targets, odd inputs, other owners,
// and two programs saving one file at once. Windows has no per-process write limit, no mounts
// for an unprivileged test, no owner ids, no FIFOs or sockets among files and no way to withdraw
// reading by permissions: those cases run on POSIX systems only.
#include <QCoreApplication>
#include <QDateTime>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>

#include <sys/stat.h>
#include <chrono>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>
#ifndef _WIN32
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/file_faults.h"
#endif

#include "config_files/file_access.h"
#include "config_files/file_names.h"
#include "tests/config_files/config_files_test.h"
#include "tests/support/program_description.h"

namespace {

// Longer than a lock file, so that a write limit between the two fails the save itself.
const QByteArray kOld =
    "; " + QByteArray(250, '-') + "\r\n[Program]\r\nCurrent=100\r\nNote=kept\r\n";

using namespace program_files;
using Model = const TestProgramsModel&;
using File = const QString&;

QString Said(const QString& error, const QStringList& notes) {
  return error + '|' + notes.join('\n');
}
QString Said(const Outcome& saved) { return Said(saved.error, saved.notes); }

// Every way the window and the tool write a configuration file; each gives its failure text,
// then "|" and its notes.
const std::pair<const char*, QString (*)(Model, File)> kSaves[] = {
    {"save all", [](Model m, File f) { return Said(SaveAllProgramsToFile(m, f)); }},
    {"save one", [](Model m, File f) { return Said(SaveProgramToFile(m, 1, f, true)); }},
    {"write a key", [](Model, File f) {
       QStringList notes;
       const QString error = modINIReadWrite::ChangeIniFile(
           f, [](IniDocument& d) { return d.SetValue("Program", "Current", "20"); }, &notes);
       return Said(error, notes);
     }}};

using FileFaults = ConfigFiles;

// A name given as bytes comes back as the same bytes, whatever they are, and reads as UTF-8 up
// to the last code point; each byte of anything else (a sequence cut short, an overlong form, a
// surrogate, one for \xE9 among them, beyond U+10FFFF) shows as \xHH.
TEST(FileNames, KeepEveryByteAndShowWhatIsNoUtf8Readably) {
  const std::pair<QByteArray, QString> cases[] = {
      {"plain.vap", "plain.vap"},
      {"caf\xc3\xa9.vap", "café.vap"},
      {"\xf0\x9f\x98\x80", "😀"},
      {"\xe0\xa0\x80", "\u0800"},
      {"\xf4\x8f\xbf\xbf", "\U0010FFFF"},
      {"caf\xe9.vap", "caf\\xE9.vap"},
      {"\xff\xfe", "\\xFF\\xFE"},
      {"a\xe2\x82", "a\\xE2\\x82"},
      {"\xe2\x82(", "\\xE2\\x82("},
      {"\xc0\xaf", "\\xC0\\xAF"},
      {"\xed\xa0\x80", "\\xED\\xA0\\x80"},
      {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"\xe0\x80\x80\xf0\x80\x80\x80", "\\xE0\\x80\\x80\\xF0\\x80\\x80\\x80"}};
  for (const auto& [bytes, readable] : cases) {
    const QString name = file_names::FromBytes(bytes);
    EXPECT_EQ(file_names::ToBytes(name), bytes);
    EXPECT_EQ(file_names::Readable(name), readable);
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
    for (const auto& [name, save] : kSaves) {
      SCOPED_TRACE(std::string(name) + (full ? ", full disk" : ", size limit"));
      std::optional<WriteLimit> limit;
      if (!full) limit.emplace(200);
      const QString error = save(model_, file);
      limit.reset();
      // The size limit strikes the file itself; the full disk may strike its lock file first.
      EXPECT_TRUE((full || error.startsWith("Cannot save ")) &&
                  error.contains(full ? "the disk is full" : "may not grow that large"))
          << error.toStdString();
      EXPECT_EQ(ReadAll(file), kOld);
      EXPECT_EQ((full ? disk.Files() : QDir(dir_.path()).entryList(QDir::Files))
                    .filter(QRegularExpression("^(?!.*\\.lock$)")),
                QStringList{"p.vap"});
    }
  }
}

// What `run` says, run in a child process, as the test user when asked.
QString InChild(bool asUser, const std::function<QString()>& run) {
  int report[2];
  if (::pipe(report) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    const QByteArray text = (asUser && !BecomeTestUser() ? "not the test user" : run()).toUtf8();
    ::_exit(::write(report[1], text.constData(), text.size()) == text.size() ? 0 : 1);
  }
  ::close(report[1]);
  QFile reader;
  reader.open(report[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
  const QByteArray said = reader.readAll();
  int status = -1;
  return QString::fromUtf8(
      ::waitpid(child, &status, 0) == child && status == 0 ? said : "child failed: " + said);
}

// A replaced file keeps its owner, group and mode: all of them when root saves; when a member of
// the file's group saves, the group and the mode, and what it cannot keep (the owner, a group it
// is not in) it says in a note.
TEST_F(FileFaults, TheReplacedFileKeepsItsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0777), 0);
  const QString file = Path("shared.vap");
  const QString lost = file + " was saved, but could not keep its owner 64322 (now 64321)";
  // as the test user (else as root), the owner before and after, the group before and after, the
  // mode, the notes
  const std::tuple<bool, uid_t, uid_t, gid_t, gid_t, mode_t, QString> cases[] = {
      {false, 4321, 4321, 8765, 8765, 0640, ""},
      {true, kTestUser, kTestUser, kSharedGroup, kSharedGroup, 0660, ""},
      {true, kTestUser, kTestUser, kSharedGroup, kSharedGroup, 02664, ""},
      {true, kOtherUser, kTestUser, kSharedGroup, kSharedGroup, 0664, lost + "."},
      {true, kOtherUser, kTestUser, kForeignGroup, kTestUsersGroup, 0646,
       lost + ", group 64333 (now 64331)."}};
  const QByteArray path = QFile::encodeName(file);
  for (const auto& [name, save] : kSaves) {
    for (const auto& [asUser, owner, ownerAfter, group, groupAfter, mode, notes] : cases) {
      SCOPED_TRACE(std::string(name) + ", owner " + std::to_string(owner));
      WriteAll(file, kOld);
      ASSERT_EQ(::chown(path.constData(), owner, group), 0);
      ASSERT_EQ(::chmod(path.constData(), mode), 0);
      EXPECT_EQ(InChild(asUser, [&, save = save] { return save(model_, file); }), "|" + notes);
      EXPECT_NE(ReadAll(file), kOld);
      struct stat st {};
      ASSERT_EQ(::stat(path.constData(), &st), 0);
      EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777),
                std::tuple(ownerAfter, groupAfter, mode));
      QFile::remove(file);
    }
  }
}
#endif

// What a load or a save cannot use it names, and leaves it as it was: a save replaces only a
// regular file, a read-only one by no one (root included), and names a folder that is missing or
// read-only to the operator; a load leaves the programs as they were, reads no more than its
// bound, waits for no writer, and takes no long.
TEST_F(FileFaults, LoadsAndSavesNameWhatTheyCannotUseAndLeaveItAsItWas) {
  QDir().mkdir(Path("folder.vap"));
  WriteAll(Path("locked.vap"), kOld);
  ASSERT_TRUE(QFile::setPermissions(Path("locked.vap"), QFile::ReadOwner | QFile::ReadGroup));
  QFile large(Path("large.vap"));
  ASSERT_TRUE(large.open(QIODevice::WriteOnly) && large.resize(10 * 1000 * 1000));
  large.close();
  WriteAll(Path("wide.vap"), QByteArray("[\0P\0]\0", 6));
  WriteAll(Path("bom16.vap"), "\xFF\xFE[\0P\0]\0");
  const QString utf16 = "The file %1 is UTF-16 text: save it as 8-bit text.";
  // the target, the load's error (none: not loaded), the cause a save names (none: not saved),
  // whether root's override is withdrawn
  std::vector<std::tuple<QString, QString, QString, bool>> targets = {
      {"folder.vap", "%1 is a folder, not a configuration file.", "a folder", false},
      {"locked.vap", "", "the file is read-only", false},
      {"none/p.vap", "The file %1 does not exist.", "does not exist", true},
      {"large.vap",
       "%1 is too large for a configuration file: 10000000 bytes, at most 1048576 bytes are read.",
       "", false},
      {"wide.vap", utf16, "", false},
      {"bom16.vap", utf16, "", false}};
#ifndef _WIN32
  const auto node = [this](const char* name, mode_t mode, dev_t device = 0) {
    return ::mknod(QFile::encodeName(Path(name)).constData(), mode, device) == 0;
  };
  ASSERT_TRUE(node("fifo.vap", S_IFIFO | 0644) && node("socket.vap", S_IFSOCK | 0644));
  // Windows ignores a folder's read-only mark, and has no way to withdraw reading.
  QDir().mkdir(Path("ro"));
  ASSERT_TRUE(QFile::setPermissions(Path("ro"), QFile::ReadOwner | QFile::ExeOwner));
  WriteAll(Path("secret.vap"), "[Program]\r\nPass=12\r\n");
  ASSERT_TRUE(QFile::setPermissions(Path("secret.vap"), QFile::WriteOwner));
  const QString none = "The file fifo.vap holds no settings of section [Program%1].";
  targets.insert(
      targets.end(),
      {{"fifo.vap", QStringList{none.arg(1), none.arg(2), none.arg(3)}.join('\n'), "a FIFO", false},
       {"socket.vap", "", "a socket", false},
       {"ro/p.vap", "", "is read-only", true},
       {"secret.vap", "The file %1 cannot be read: permission denied.", "", true},
       {"/dev/zero",
        "%1 is too large for a configuration file: more than 1048576 bytes, at most "
        "1048576 bytes are read.",
        "", false}});
  // A copy of the null device, where the suite may make one.
  if (node("null.vap", S_IFCHR | 0666, makedev(1, 3)))
    targets.emplace_back("null.vap", "", "a device", false);
#else
  targets.emplace_back("NUL", "", "a device", false);
#endif
  const auto identity = [](const QString& file) {
    struct stat st {};
    ::stat(QFile::encodeName(file).constData(), &st);
    return std::tuple(st.st_mode, st.st_ino);
  };
  for (const auto& [name, loadError, cause, asOperator] : targets) {
    const QString target = name == "NUL" || name.startsWith('/') ? name : Path(name);
    std::optional<WithoutPermissionOverride> operatorOnly;
    if (asOperator) operatorOnly.emplace();
    if (!loadError.isEmpty()) {
      TestProgramsModel model{QLocale::c()};
      model.StartUp();
      const auto start = std::chrono::steady_clock::now();
      const Outcome loaded = LoadAllProgramsFromFile(model, target);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
      EXPECT_FALSE(loaded.ok);
      EXPECT_EQ(loaded.error, loadError.contains("%1") ? loadError.arg(target) : loadError);
      for (int i = 0; i < kProgramCount; ++i)
        EXPECT_EQ(DescribeProgram(model, i), DescribeProgram(model_, i));
    }
    for (const auto& [saveName, save] : kSaves) {
      if (cause.isEmpty()) break;
      SCOPED_TRACE(target.toStdString() + " " + saveName);
      const auto before = identity(target);
      const QString error = save(model_, target);
      EXPECT_TRUE(error.contains(cause)) << error.toStdString();
      EXPECT_EQ(identity(target), before);
      EXPECT_TRUE(name != "locked.vap" || ReadAll(target) == kOld);
    }
  }
}

// A lock file that names no live process is taken over (one that names nobody once it is old
// enough to be finished), and a taken lock leaves no file behind; any other lock is in use, and
// the refusal names the lock file and its holder.
TEST_F(FileFaults, ALockThatNamesNoLiveProcessIsTakenOver) {
  QProcess gone;
  gone.start(SAVE_LOOP_PATH, QStringList());  // ends at once: no arguments
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
  const QString inUse = "The file " + Path("p.vap") + " is in use by another program: ";
  const QString namesNobody = inUse + "its lock file " + lockFile + " names no program yet";
  const QString namesUs = inUse + QCoreApplication::applicationName() + " (process " +
                          QString::number(QCoreApplication::applicationPid()) +
                          ") holds its lock file " + lockFile;
  const QDateTime now = QDateTime::currentDateTime();
  const std::tuple<QByteArray, QDateTime, QString> cases[] = {
      // the lock file's content, when it was written, the refusal (none: taken over)
      {dead, now, ""},  // a dead program's
      {"", now.addMSecs(-file_access::kAbandonedLockAgeMs - 1000), ""},
      {"", now, namesNobody},
      {"garbage\n", now.addMSecs(-file_access::kAbandonedLockAgeMs / 2), namesNobody},
      {live, now.addSecs(-3600), namesUs},
      // another computer's, whose process cannot be looked at from here
      {QByteArray::number(deadPid) + "\nveld32\nbench-7\n", now,
       inUse + "veld32 (process " + QString::number(deadPid) + " on bench-7) holds its lock file " +
           lockFile}};
  const auto writeLock = [&lockFile](const QByteArray& content, const QDateTime& written) {
    WriteAll(lockFile, content);
    QFile lock(lockFile);
    return lock.open(QIODevice::Append) &&
           lock.setFileTime(written, QFileDevice::FileModificationTime);
  };
  for (const auto& [content, written, refusal] : cases) {
    ASSERT_TRUE(writeLock(content, written));
    EXPECT_EQ(file_access::FileLock(Path("p.vap")).Acquire(300),
              refusal.isEmpty() ? refusal : refusal + " (waited 300 ms).");
    EXPECT_EQ(QFile::remove(lockFile), !refusal.isEmpty());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
  }
  // The window's save of one program takes its lock the same way.
  ASSERT_TRUE(writeLock("", now.addSecs(-3600)));
  EXPECT_TRUE(SaveProgramToFile(model_, 0, Path("p.vap"), true).ok);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"p.vap"});
}

// Two programs save their own program into one file many times at once: every last write is
// there and no section is lost.
TEST_F(FileFaults, TwoProgramsSavingOneFileLoseNothing) {
  const QString file = Path("shared.vap");
  QProcess first, second;
  first.start(SAVE_LOOP_PATH, {file, "0", "40"});
  second.start(SAVE_LOOP_PATH, {file, "2", "40"});
  for (QProcess* child : {&first, &second}) {
    ASSERT_TRUE(child->waitForFinished(60000));
    EXPECT_EQ(child->exitCode(), 0) << child->readAllStandardError().toStdString();
  }
  const QByteArray saved = ReadAll(file);
  for (const char* n : {"1", "3"})
    EXPECT_TRUE(saved.contains("[Program" + QByteArray(n) +
                               "]\r\nCurrent=5\r\nFrequency=2\r\nPulseWidth=200\r\nMode=2\r\n"
                               "Duration=30\r\nPass=140\r\nFail=1000\r\n"))
        << saved.toStdString();
}

}  // namespace
