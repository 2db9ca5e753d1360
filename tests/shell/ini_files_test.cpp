#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "file_rights.h"
#include "ini_document.h"
#include "modINIReadWrite.h"

using modINIReadWrite::ReadINIString;
using modINIReadWrite::WriteINIString;

namespace {

// Byte strings with NULs in them, whole.
template <std::size_t N>
QByteArray Bytes(const char (&text)[N]) {
  return QByteArray(text, N - 1);
}

class IniFiles : public ::testing::Test {
 protected:
  QString PathOf(const QString& name) const { return dir_.filePath(name); }

  QString FileWith(const QByteArray& bytes) const {
    const QString path = PathOf(QStringLiteral("programs.vsp"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
  }

  static QByteArray BytesOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
  }

 private:
  QTemporaryDir dir_;
};

struct ReadCase {
  const char* name;
  QByteArray file;
  QString section;
  QString key;
  QString expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadIniString : public IniFiles, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadIniString, FindsTheValue) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(ReadINIString(c.section, c.key, FileWith(c.file)), c.expected);
}

const QString k60 = QStringLiteral("123456789012345678901234567890123456789012345678901234567890");

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadIniString,
    ::testing::Values(
        ReadCase{"Plain", "[Program1]\r\nCurrent=20\r\n", "Program1", "Current", "20"},
        ReadCase{"NamesIgnoreCase", "[program1]\r\ncurrent=20\r\n", "PROGRAM1", "CuRRent", "20"},
        ReadCase{"LfLineEnds", "[P]\nA=1\nB=2\n", "P", "B", "2"},
        ReadCase{"BlanksAroundEquals", "[P]\r\n  A \t=  5  \r\n", "P", "A", "5"},
        ReadCase{"BlankLinesAndOtherSections", "\r\n[X]\r\nA=9\r\n\r\n[P]\r\n\r\nA=1\r\n", "P", "A",
                 "1"},
        ReadCase{"KeyOnlyInAnotherSection", "[X]\r\nA=9\r\n[P]\r\nB=1\r\n", "P", "A", ""},
        ReadCase{"MissingSection", "[X]\r\nA=9\r\n", "P", "A", ""},
        ReadCase{"MissingKey", "[P]\r\nB=9\r\n", "P", "A", ""},
        ReadCase{"EmptyValue", "[P]\r\nA=\r\n", "P", "A", ""},
        ReadCase{"CommentIsNoKey", "[P]\r\n;A=3\r\nA=4\r\n", "P", "A", "4"},
        ReadCase{"LastLineWithoutLineEnd", "[P]\r\nA=7", "P", "A", "7"},
        ReadCase{"BlanksInHeader", "[ P ]\r\nA=7\r\n", "P", "A", "7"},
        ReadCase{"FirstOfTwoKeys", "[P]\r\nA=1\r\nA=2\r\n", "P", "A", "1"},
        ReadCase{"ValueWithEquals", "[P]\r\nA=x=y\r\n", "P", "A", "x=y"},
        ReadCase{"Latin1Bytes", "[P]\r\nA=\xe9\xb5\xff\r\n", "P", "A",
                 QString::fromLatin1("\xe9\xb5\xff")},
        ReadCase{"Cut49", "[P]\r\nA=" + k60.toLatin1() + "\r\n", "P", "A", k60.left(49)},
        ReadCase{"Fifty", "[P]\r\nA=" + k60.left(50).toLatin1() + "\r\n", "P", "A", k60.left(49)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFiles, MissingFileReadsEmpty) {
  EXPECT_EQ(ReadINIString("P", "A", PathOf("none.vsp")), QString());
  EXPECT_FALSE(QFile::exists(PathOf("none.vsp")));
}

struct WriteCase {
  const char* name;
  QByteArray before;
  QString section;
  QString key;
  QString value;
  QByteArray after;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class WriteIniString : public IniFiles, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteIniString, ChangesOnlyItsKey) {
  const WriteCase& c = GetParam();
  const QString path = FileWith(c.before);
  EXPECT_TRUE(WriteINIString(c.section, c.key, c.value, path));
  EXPECT_EQ(BytesOf(path), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteIniString,
    ::testing::Values(
        WriteCase{"ReplacesInPlaceKeepingTheRest",
                  "; kept\r\n[Other]\r\nCurrent=1\r\n\r\n[Program]\r\nCurrent=5\r\nodd line\r\n"
                  "Fail=100\r\n",
                  "Program", "Current", "20",
                  "; kept\r\n[Other]\r\nCurrent=1\r\n\r\n[Program]\r\nCurrent=20\r\nodd line\r\n"
                  "Fail=100\r\n"},
        WriteCase{"MatchesIgnoringCaseAndKeepsFileSpelling", "[PROGRAM]\r\ncurrent=5\r\n",
                  "Program", "CURRENT", "20", "[PROGRAM]\r\ncurrent=20\r\n"},
        WriteCase{"ReplacesInLfFile", "[P]\nA=1\nB=2\n", "P", "A", "3", "[P]\nA=3\nB=2\n"},
        WriteCase{"DropsBlanksAroundEquals", "[P]\r\n  A = 1\r\n", "P", "A", "2", "[P]\r\nA=2\r\n"},
        WriteCase{"FirstOfTwoKeys", "[P]\r\nA=1\r\nA=2\r\n", "P", "A", "3",
                  "[P]\r\nA=3\r\nA=2\r\n"},
        WriteCase{"NewKeyBeforeBlankLinesOfItsSection", "[P]\r\nA=1\r\n\r\n[Q]\r\nB=2\r\n", "P",
                  "C", "3", "[P]\r\nA=1\r\nC=3\r\n\r\n[Q]\r\nB=2\r\n"},
        WriteCase{"NewKeyAtEndOfLastSection", "[P]\r\nA=1\r\n", "P", "C", "3",
                  "[P]\r\nA=1\r\nC=3\r\n"},
        WriteCase{"NewKeyAfterLastLineWithoutLineEnd", "[P]\r\nA=1", "P", "C", "3",
                  "[P]\r\nA=1\r\nC=3\r\n"},
        WriteCase{"NewKeyInEmptySection", "[P]\r\n[Q]\r\n", "P", "A", "1", "[P]\r\nA=1\r\n[Q]\r\n"},
        WriteCase{"NewSectionAtEnd", "[P]\r\nA=1\r\n", "Q", "B", "2",
                  "[P]\r\nA=1\r\n\r\n[Q]\r\nB=2\r\n"},
        WriteCase{"NewSectionAfterBlankLine", "[P]\r\nA=1\r\n\r\n", "Q", "B", "2",
                  "[P]\r\nA=1\r\n\r\n[Q]\r\nB=2\r\n"},
        WriteCase{"NewSectionAfterLastLineWithoutLineEnd", "[P]\nA=1", "Q", "B", "2",
                  "[P]\nA=1\r\n\r\n[Q]\r\nB=2\r\n"},
        WriteCase{"NewSectionInEmptyFile", "", "Q", "B", "2", "[Q]\r\nB=2\r\n"},
        WriteCase{"Latin1Value", "[P]\r\nA=1\r\n", "P", "A", QString::fromLatin1("\xe9t\xb5"),
                  "[P]\r\nA=\xe9t\xb5\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFiles, MissingFileIsCreated) {
  const QString path = PathOf(QStringLiteral("new.vsp"));
  EXPECT_TRUE(WriteINIString("Program", "Current", "20", path));
  EXPECT_TRUE(WriteINIString("Program", "Frequency", "50", path));
  EXPECT_EQ(BytesOf(path), "[Program]\r\nCurrent=20\r\nFrequency=50\r\n");
}

TEST_F(IniFiles, Latin1RoundTrips) {
  const QString path = PathOf(QStringLiteral("latin.vsp"));
  // Every 8-bit character above the blank, in slices short enough to escape the 49-character cut.
  QString every;
  for (int c = 0x21; c <= 0xFF; ++c) every.append(QChar(c));
  for (qsizetype at = 0; at < every.size(); at += 40) {
    const QString slice = every.mid(at, 40);
    ASSERT_TRUE(WriteINIString("P", "A", slice, path));
    EXPECT_EQ(ReadINIString("P", "A", path), slice);
  }
}

struct RefusedCase {
  const char* name;
  QString section;
  QString key;
  QString value;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedWrite : public IniFiles, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedWrite, LeavesTheFileAlone) {
  const RefusedCase& c = GetParam();
  const QByteArray before = "[P]\r\nA=1\r\n";
  const QString path = FileWith(before);
  EXPECT_FALSE(WriteINIString(c.section, c.key, c.value, path));
  EXPECT_EQ(BytesOf(path), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedWrite,
                         ::testing::Values(RefusedCase{"EmptySection", "", "A", "1"},
                                           RefusedCase{"EmptyKey", "P", " ", "1"},
                                           RefusedCase{"KeyWithEquals", "P", "A=B", "1"},
                                           RefusedCase{"KeyLikeHeader", "P", "[A]", "1"},
                                           RefusedCase{"SectionWithBracket", "P]", "A", "1"},
                                           RefusedCase{"ValueWithLineEnd", "P", "A", "1\r\nB=2"},
                                           RefusedCase{"ValueBeyondLatin1", "P", "A",
                                                       QString::fromUtf8("\u20ac")}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFiles, ReadOnlyFileReportsFailureAndStays) {
  const QByteArray before = "[P]\r\nA=1\r\n";
  const QString path = FileWith(before);
  ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
  {
    const WithoutPermissionOverride asOperator;
    EXPECT_FALSE(WriteINIString("P", "A", "2", path));
    EXPECT_FALSE(WriteINIString("Q", "B", "2", path));
  }
  EXPECT_EQ(BytesOf(path), before);
  EXPECT_EQ(QFileInfo(path).permissions() & QFile::WriteOwner, 0);
}

TEST_F(IniFiles, UnwritablePlacesReportFailure) {
  EXPECT_FALSE(WriteINIString("P", "A", "1", PathOf(QStringLiteral("no/such/folder.vsp"))));
  ASSERT_TRUE(QDir(PathOf(QString())).mkdir(QStringLiteral("folder.vsp")));
  EXPECT_FALSE(WriteINIString("P", "A", "1", PathOf(QStringLiteral("folder.vsp"))));
}

TEST_F(IniFiles, SaveIniFileReplacesTheWholeFile) {
  const QString path = FileWith("[Old]\r\nX=1\r\n");
  IniDocument document;
  for (const char* section : {"Program1", "Program2"})
    ASSERT_TRUE(document.SetValue(section, "Mode", "2"));
  EXPECT_TRUE(modINIReadWrite::SaveIniFile(document, path));
  EXPECT_EQ(BytesOf(path), "[Program1]\r\nMode=2\r\n\r\n[Program2]\r\nMode=2\r\n");
}

struct BytesCase {
  const char* name;
  QByteArray bytes;
};

void PrintTo(const BytesCase& c, std::ostream* os) { *os << c.name; }

class UntouchedDocument : public ::testing::TestWithParam<BytesCase> {};

TEST_P(UntouchedDocument, GivesBackItsBytes) {
  EXPECT_EQ(IniDocument::FromBytes(GetParam().bytes).ToBytes(), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, UntouchedDocument,
                         ::testing::Values(BytesCase{"Empty", QByteArray()},
                                           BytesCase{"NoLineEnd", QByteArray("no line end")},
                                           BytesCase{"OnlyLineEnds", QByteArray("\r\n\r\n\n")},
                                           BytesCase{"LoneCr", QByteArray("a\rb\n\r")},
                                           BytesCase{"BrokenHeaderAndComment",
                                                     QByteArray("[x\n=y\r\n;[P]\r\n")},
                                           BytesCase{"CrBeforeCrLf", Bytes("[P]\r\nA=1\r\r\n")},
                                           BytesCase{"BinaryBytes", Bytes("\0\xff\x80=\r\n")}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniDocumentTest, ChangeLeavesOddBytesAlone) {
  const QByteArray odd = Bytes("\0\xff junk\r\n[P]\r\nA=1\n\tweird line\r\r\n");
  IniDocument document = IniDocument::FromBytes(odd);
  ASSERT_TRUE(document.SetValue("p", "a", "2"));
  QByteArray expected = odd;
  expected.replace("A=1", "A=2");
  EXPECT_EQ(document.ToBytes(), expected);
  EXPECT_EQ(document.Value("P", "A"), QStringLiteral("2"));
  EXPECT_FALSE(document.Value("P", "weird line").has_value());
}

}  // namespace
