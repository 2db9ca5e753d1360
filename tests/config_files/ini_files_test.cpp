#include <array>
#include <string>

#include "tests/config_files/config_files_test.h"

using modINIReadWrite::ReadINIString;
using modINIReadWrite::WriteINIString;

namespace {

using namespace std::string_literals;
using Names = std::array<QString, 3>;  // section, key, value

// Byte strings with NULs in them, whole.
QByteArray Bytes(const std::string& bytes) { return QByteArray::fromStdString(bytes); }

class IniFiles : public ConfigFiles {
 protected:
  const QString path = Path("programs.vsp");
};

TEST_F(IniFiles, ReadFindsTheFirstValueOfItsSection) {
  const QString k50 = QString("1234567890").repeated(5);
  WriteAll(path,
           "[X]\r\nA=9\r\n[program1]\r\ncurrent=20\r\n  Blank \t=  5  \r\nDup=1\r\nDup=2\r\n"
           "Eq=x=y\r\nLong=" +
               k50.toLatin1() + "\r\n[ LF ]\nB=2\n[Last]\r\nA=7");
  for (const auto& [section, key, value] :
       {Names{"PROGRAM1", "CuRRent", "20"}, Names{"program1", "blank", "5"},
        Names{"program1", "Dup", "1"}, Names{"program1", "Eq", "x=y"},
        Names{"program1", "Long", k50.left(49)}, Names{"LF", "B", "2"}, Names{"Last", "A", "7"},
        Names{"program1", "A", ""}, Names{"none", "A", ""}})
    EXPECT_EQ(ReadINIString(section, key, path), value) << key.toStdString();
}

// Files from other editors: a UTF-8 byte-order mark, any line end, quoted values.
TEST_F(IniFiles, ReadTakesAnyLineEndAByteOrderMarkAndOnePairOfQuotes) {
  const std::pair<QByteArray, QString> cases[] = {{"\xEF\xBB\xBF[P]\r\nA=1\r\n", "1"},
                                                  {"[P]\rB=0\rA=2\r", "2"},
                                                  {"[P]\nA=3", "3"},
                                                  {"[P]\r\nA=\"20\"\r\n", "20"},
                                                  {"[P]\r\nA= '20' \r\n", "20"},
                                                  {"[P]\r\nA=\" 2 0 \"\r\n", " 2 0 "},
                                                  {"[P]\r\nA=\"\"20\"\"\r\n", "\"20\""},
                                                  {"[P]\r\nA=\"20'\r\n", "\"20'"},
                                                  {"[P]\r\nA=\"\r\n", "\""},
                                                  {"[P]\r\nA=''\r\n", ""}};
  for (const auto& [bytes, value] : cases) {
    WriteAll(path, bytes);
    EXPECT_EQ(ReadINIString("P", "A", path), value) << bytes.toStdString();
  }
  // A write keeps the mark and the line ends it found.
  WriteAll(path, "\xEF\xBB\xBF[P]\rA=1\r[Q]\rB=2");
  ASSERT_TRUE(WriteINIString("P", "A", "5", path) && WriteINIString("Q", "C", "6", path));
  EXPECT_EQ(ReadAll(path), "\xEF\xBB\xBF[P]\rA=5\r[Q]\rB=2\r\nC=6\r\n");
}

// An existing key is replaced in place (its first line, with the file's spelling of its name),
// a new key goes after the last non-blank line of its section, a new section at the end
// behind a blank line; every other byte stays as it was.
TEST_F(IniFiles, WriteChangesOnlyItsKey) {
  WriteAll(path, Bytes("\0\xff junk\r\n[Other]\r\nCurrent=1\r\n; [Program]\r\nCurrent=9\r\n\r\n"
                       "[Program]\r\nCurrent=5\n  Fail = 100\r\nFail=7\r\n\tweird\rline\r\r\n\r\n"
                       "[Empty]\r\n[Last]\nA=1"s));
  for (const auto& [section, key, value] :
       {Names{"PROGRAM", "current", "20"}, Names{"Program", "FAIL", "50"},
        Names{"program", "New", "3"}, Names{"Empty", "A", "1"}, Names{"Last", "B", "2"},
        Names{"Q", "B", "2"}})
    ASSERT_TRUE(WriteINIString(section, key, value, path)) << key.toStdString();
  EXPECT_EQ(ReadAll(path),
            Bytes("\0\xff junk\r\n[Other]\r\nCurrent=1\r\n; [Program]\r\nCurrent=9\r\n\r\n"
                  "[Program]\r\nCurrent=20\nFail=50\r\nFail=7\r\n\tweird\rline\rNew=3\r\n\r\n\r\n"
                  "[Empty]\r\nA=1\r\n[Last]\nA=1\r\nB=2\r\n\r\n[Q]\r\nB=2\r\n"s));
}

TEST_F(IniFiles, MissingFileReadsEmptyAndWritesCreateItInLatin1) {
  EXPECT_EQ(ReadINIString("P", "A", path), QString());
  EXPECT_FALSE(QFile::exists(path));
  // Every 8-bit character above the blank, in slices short enough to escape the 49-character cut.
  for (int first = 0x21; first <= 0xFF; first += 40) {
    QString slice;
    for (int c = first; c < first + 40 && c <= 0xFF; ++c) slice.append(QChar(c));
    ASSERT_TRUE(WriteINIString("P", "A", slice, path));
    EXPECT_EQ(ReadAll(path), "[P]\r\nA=" + slice.toLatin1() + "\r\n");
    EXPECT_EQ(ReadINIString("P", "A", path), slice);
  }
}

// Text that would break the line structure or that 8-bit text cannot hold, and a UTF-16 file:
// refused, the file as it was (a read-only file is among every save's faults).
TEST_F(IniFiles, RefusedWritesLeaveTheFileAsItWas) {
  // With its byte order mark, and the shortest without one in either byte order.
  for (const QByteArray& utf16 : {QByteArray("\xFF\xFE[\0P\0]\0\r\0\n\0A\0=\0001\0", 18),
                                  QByteArray("[\0P\0", 4), QByteArray("\0[\0P", 4)}) {
    WriteAll(path, utf16);
    EXPECT_FALSE(WriteINIString("P", "A", "2", path));
    EXPECT_EQ(ReadAll(path), utf16);
  }
  const QByteArray before = "[P]\r\nA=1\r\n";
  WriteAll(path, before);
  for (const auto& [section, key, value] :
       {Names{"", "A", "1"}, Names{"P", " ", "1"}, Names{"P", "A=B", "1"}, Names{"P", "[A]", "1"},
        Names{"P]", "A", "1"}, Names{"P", "A", "1\r\nB=2"}, Names{"P", "A", QChar(0x20AC)}})
    EXPECT_FALSE(WriteINIString(section, key, value, path)) << key.toStdString();
  EXPECT_EQ(ReadAll(path), before);
}

}  // namespace
