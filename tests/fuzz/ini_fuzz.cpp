// libFuzzer target: the INI document takes any bytes. Unchanged, it gives back the same bytes; a
// key that was written reads back; every other key keeps its value, also after a reload.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "config_files/ini_document.h"

namespace {

const char* const kSections[] = {"Program", "program1", "P", "[x"};
const char* const kKeys[] = {"Current", "fail", "A", "=", ";c"};

using Values = std::optional<QString>[std::size(kSections)][std::size(kKeys)];

void Take(const IniDocument& document, Values& values) {
  for (std::size_t s = 0; s < std::size(kSections); ++s)
    for (std::size_t k = 0; k < std::size(kKeys); ++k)
      values[s][k] = document.Value(kSections[s], kKeys[k]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the section, the key and the value to write.
  const std::size_t section = data[0] % std::size(kSections);
  const std::size_t key = (data[0] / std::size(kSections)) % std::size(kKeys);
  const QString value = QString::number(data[0]);
  const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

  IniDocument document = IniDocument::FromBytes(bytes);
  if (document.ToBytes() != bytes) std::abort();
  Values before;
  Take(document, before);
  const bool written = document.SetValue(kSections[section], kKeys[key], value);
  Values after;
  Take(IniDocument::FromBytes(document.ToBytes()), after);
  for (std::size_t s = 0; s < std::size(kSections); ++s) {
    for (std::size_t k = 0; k < std::size(kKeys); ++k) {
      const bool target = written && s == section && k == key;
      if (target ? after[s][k] != value : after[s][k] != before[s][k]) std::abort();
    }
  }
  return 0;
}
