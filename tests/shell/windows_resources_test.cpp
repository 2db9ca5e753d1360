// The version record, manifest and icon inside the built veld32.exe, read as Windows reads them.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "resources/version.h"

using ::testing::HasSubstr;

namespace {

const std::wstring kProgram =
    QDir::toNativeSeparators(QStringLiteral(VELD32_EXE_PATH)).toStdWString();

std::string Narrow(const wchar_t* text) { return QString::fromWCharArray(text).toStdString(); }

TEST(WindowsResources, VersionRecordNamesTheProductItsVersionAndDescription) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(kProgram.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version record";
  std::vector<char> record(size);
  ASSERT_TRUE(::GetFileVersionInfoW(kProgram.c_str(), 0, size, record.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::vector<DWORD> numbers{
      HIWORD(fixed->dwFileVersionMS),    LOWORD(fixed->dwFileVersionMS),
      HIWORD(fixed->dwFileVersionLS),    HIWORD(fixed->dwProductVersionMS),
      LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS)};
  const std::vector<DWORD> version{VELD32_VERSION_MAJOR, VELD32_VERSION_MINOR,
                                   VELD32_VERSION_PATCH};
  EXPECT_EQ(numbers, (std::vector<DWORD>{version[0], version[1], version[2], version[0], version[1],
                                         version[2]}));

  const struct {
    const wchar_t* name;
    std::string value;
  } strings[] = {{L"ProductName", VELD32_PRODUCT_NAME},
                 {L"FileDescription", VELD32_FILE_DESCRIPTION},
                 {L"FileVersion", VELD32_VERSION_TEXT},
                 {L"ProductVersion", VELD32_VERSION_TEXT}};
  for (const auto& s : strings) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + s.name;
    wchar_t* value = nullptr;
    ASSERT_TRUE(
        ::VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        << Narrow(s.name);
    EXPECT_EQ(Narrow(value), s.value) << Narrow(s.name);
  }
}

TEST(WindowsResources, ManifestAsksForCommonControlsSixAndTheIconIsThere) {
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&::FreeLibrary)> module(
      ::LoadLibraryExW(kProgram.c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE),
      &::FreeLibrary);
  ASSERT_NE(module, nullptr);
  HRSRC found = ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr) << "no manifest";
  const char* text = static_cast<const char*>(::LockResource(::LoadResource(module.get(), found)));
  const std::string manifest(text, ::SizeofResource(module.get(), found));
  for (const char* part : {"<description>Electrode Tester</description>",
                           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""}) {
    EXPECT_THAT(manifest, HasSubstr(part));
  }
  EXPECT_NE(::FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
}

}  // namespace
